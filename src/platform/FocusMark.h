// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

class QWidget;

namespace kestrix {

// Shows the focus mark from the moment `window` opens. The toolkit draws it
// only once the keyboard has moved the focus, so a window that opens with the
// focus on a button would not show which button Return presses.
void markFocusFromStart(QWidget* window);

} // namespace kestrix
