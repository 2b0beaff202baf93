// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QPalette>

namespace kestrix {

// The palette of the card panel, given the window's. While the card is
// locked (its boxes disabled) its fields and labels keep the window's normal
// text colour, so a locked card reads as well as one being edited; the boxes
// take the window's background instead of their own (lockedBackground), and
// that, not faded text, is what shows the lock. Only the disabled colours
// are set: everything else still follows the window.
QPalette lockedCardPalette(const QPalette& window);

// The same look for a locked box that stays enabled, read-only (the memo,
// which must still scroll): the locked colours whether the window is
// active or not.
QPalette lockedReadOnlyPalette(const QPalette& window);

// The background of a locked box: the window's, or in a dark palette, where
// the window's lies close to the open boxes', a shade plainly apart from
// theirs.
QColor lockedBackground(const QPalette& window);

} // namespace kestrix
