// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QChar>

namespace kestrix {

// One UTF-16 unit with its letter case folded; plain ASCII, by far the most
// common, without a table lookup. The list's order and the completion's
// matching ignore case the same way.
inline char32_t caseFolded(char16_t unit)
{
    if (unit < 0x80) return (unit >= 'A' && unit <= 'Z') ? unit + ('a' - 'A') : unit;
    return QChar::toCaseFolded(char32_t(unit));
}

} // namespace kestrix
