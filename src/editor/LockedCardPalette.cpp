// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "LockedCardPalette.h"

namespace kestrix {

QPalette lockedCardPalette(const QPalette& window)
{
    // The text of a locked box stands on the window's background, so it takes
    // the colour the palette makes readable there.
    const QColor text = window.color(QPalette::Active, QPalette::WindowText);
    QPalette locked; // no role set: the rest is the window's
    locked.setColor(QPalette::Disabled, QPalette::WindowText, text);
    locked.setColor(QPalette::Disabled, QPalette::Text, text);
    locked.setColor(QPalette::Disabled, QPalette::Base, window.color(QPalette::Active, QPalette::Window));
    return locked;
}

} // namespace kestrix
