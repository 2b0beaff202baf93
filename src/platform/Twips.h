// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QRect>

namespace kestrix {

// Window layouts are designed in twips (1/1440 inch): 15 to a logical pixel.
// The toolkit scales logical pixels for high-DPI screens.
constexpr int twips(int value)
{
    return value / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace kestrix
