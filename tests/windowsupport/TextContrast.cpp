// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "windowsupport/TextContrast.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace kestrix::testing {

double relativeLuminance(const QColor& colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor backgroundOf(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb commonest = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            commonest = it.key();
        }
    }
    return QColor::fromRgb(commonest);
}

double textContrast(const QImage& image, const QRect& area)
{
    const QColor background = backgroundOf(image, area);
    const QRect inside = area & image.rect();
    double best = 1;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            best = std::max(best, contrastRatio(background, QColor::fromRgb(image.pixel(x, y))));
    return best;
}

QPalette darkPalette()
{
    const QColor window(49, 54, 59), base(35, 38, 41), text(239, 240, 241), dimmed(110, 114, 118);
    QPalette dark(text, window, window.lighter(130), window.darker(130), window.darker(115), text, Qt::white, base,
                  window);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, dimmed);
    dark.setColor(QPalette::Disabled, QPalette::Base, window);
    return dark;
}

QPalette darkPaletteWithLightButtons()
{
    QPalette dark = darkPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        dark.setColor(group, QPalette::Button, QColor(239, 239, 239));
        dark.setColor(group, QPalette::ButtonText, Qt::black);
    }
    return dark;
}

} // namespace kestrix::testing
