// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

namespace kestrix::names {

// The files every run keeps in its folder.
inline const QString kCardFile = QStringLiteral("kest1.dat");
inline const QString kScratchFile = QStringLiteral("temp.dat");
inline const QString kCounterFile = QStringLiteral("kestrec.rec");

} // namespace kestrix::names
