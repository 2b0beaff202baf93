// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

class QAbstractButton;

namespace kestrix {

// Return and Enter press `button` while it has the focus, as Space does.
// It does not become a default button: Return anywhere else in its window
// still presses nothing.
void pressOnEnter(QAbstractButton* button);

} // namespace kestrix
