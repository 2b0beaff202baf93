// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CompactEntries.h"

#include <QtGlobal>

#include <vector>

namespace kestrix {

// The search list's order: by text, character by character rather than by
// number ("10  ..." before "2  ..."), ignoring letter case; entries equal but
// for case in a fixed order by exact text; identical entries in the order
// they were added. Returns the entries' indices in that order.
std::vector<quint32> sortedOrder(const CompactEntries& entries);

// Where entry `a` stands against entry `b` in that order, but for the last
// tie: negative before, zero equal, positive after.
int compareEntries(CompactEntries::Units a, CompactEntries::Units b);

} // namespace kestrix
