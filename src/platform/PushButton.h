// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QRect>

class QPushButton;
class QWidget;

namespace kestrix {

// A captioned push button on `window`, named and placed as designed. No
// button of the program is a default button: Return and Enter press only the
// button that has the focus.
QPushButton* addPushButton(QWidget* window, const char* name, const char* caption, const QRect& geometry);

} // namespace kestrix
