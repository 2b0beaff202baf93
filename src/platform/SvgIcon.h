// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QIcon>
#include <QString>

namespace kestrix {

// An icon drawn from an SVG resource, sharp at every size and screen scale.
QIcon svgIcon(const QString& resourcePath);

// The program's own icon.
QIcon applicationIcon();

} // namespace kestrix
