// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

class QWidget;

namespace kestrix {

// Moves a top-level window so that it stands in the middle of its screen.
void centerOnScreen(QWidget* window);

// Centres `window` on its screen just before it is first shown; a window the
// user has moved stays where it is when shown again.
void centerOnFirstShow(QWidget* window);

} // namespace kestrix
