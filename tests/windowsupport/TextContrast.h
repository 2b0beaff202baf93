// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>

namespace kestrix::testing {

// The light a colour gives off as WCAG defines it, from 0 for black to 1 for
// white.
double relativeLuminance(const QColor& colour);

// Contrast ratio of two colours as WCAG defines it, from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// Contrast of text drawn in `area` of `image`: the commonest colour there is
// taken as the background, the pixel furthest from it as the text. Text that
// is not there at all measures 1.
double textContrast(const QImage& image, const QRect& area);

// The commonest colour in `area`: the background of the text drawn there.
QColor backgroundOf(const QImage& image, const QRect& area);

// A dark palette as desktops' dark themes set it: light text on dark grey,
// disabled text dimmed towards the background.
QPalette darkPalette();

// A dark palette that leaves the buttons light, as one that sets only the
// window's, the boxes' and the texts' colours does.
QPalette darkPaletteWithLightButtons();

// Puts the application's palette back however the test ends.
struct PaletteRestorer {
    const QPalette saved = QApplication::palette();
    ~PaletteRestorer() { QApplication::setPalette(saved); }
};

} // namespace kestrix::testing
