// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "LockedCardPalette.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

// The light a colour gives off, from 0 for black to 1 for white.
double luminance(const QColor& colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor mixed(const QColor& from, const QColor& to, double share)
{
    const auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(mix(from.redF(), to.redF())), float(mix(from.greenF(), to.greenF())),
                            float(mix(from.blueF(), to.blueF())));
}

} // namespace

QColor lockedBackground(const QPalette& window)
{
    const QColor own = window.color(QPalette::Active, QPalette::Window);
    const QColor text = window.color(QPalette::Active, QPalette::WindowText);
    const double open = luminance(window.color(QPalette::Active, QPalette::Base));
    // Light palettes leave plenty between the grey window and the white
    // boxes. Dark greys give off little light, so a dark window and its dark
    // boxes look alike: there the locked boxes move away from the open ones,
    // lighter or darker, until they differ by kLockShows, as far as the text
    // stays easily readable on them.
    constexpr double kLockShows = 0.04;
    constexpr double kReadable = 7;
    const QColor away = luminance(own) >= open ? QColor(Qt::white) : QColor(Qt::black);
    constexpr int kSteps = 50;
    QColor background = own;
    for (int step = 1; step <= kSteps && std::abs(luminance(background) - open) < kLockShows; ++step) {
        const QColor further = mixed(own, away, double(step) / kSteps);
        if (contrast(further, text) < kReadable) break;
        background = further;
    }
    return background;
}

QPalette lockedCardPalette(const QPalette& window)
{
    // The text of a locked box stands on the window's background, so it takes
    // the colour the palette makes readable there.
    const QColor text = window.color(QPalette::Active, QPalette::WindowText);
    QPalette locked; // no role set: the rest is the window's
    locked.setColor(QPalette::Disabled, QPalette::WindowText, text);
    locked.setColor(QPalette::Disabled, QPalette::Text, text);
    locked.setColor(QPalette::Disabled, QPalette::Base, lockedBackground(window));
    return locked;
}

QPalette lockedReadOnlyPalette(const QPalette& window)
{
    QPalette locked = lockedCardPalette(window);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (const QPalette::ColorRole role : {QPalette::Text, QPalette::Base})
            locked.setColor(group, role, locked.color(QPalette::Disabled, role));
    return locked;
}

} // namespace kestrix
