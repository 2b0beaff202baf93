// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "Module1.h"

#include <QString>

namespace kestrix {

// How a change is named to the user, the same in the window and on the
// command line.

// "Delete of "Bob" (7 cards)"
QString whatChanged(const Module1::Change& change);
// "10:42" today, else "2026-12-07 10:42", in local time.
QString whenChanged(const QDateTime& when);
// "1 card", "7 cards"
QString cardCount(qsizetype count);
// Cards named one after another, the first dozen and how many more.
QString cardNames(const QStringList& names);

} // namespace kestrix
