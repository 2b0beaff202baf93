// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "SyncPlan.h"

#include <QString>

#include <optional>
#include <vector>

namespace kestrix::syncplan {

// Which local card each state entry was synced as, by number and key.
struct Pairing {
    std::vector<std::optional<size_t>> localOfEntry; // by state index
    std::vector<bool> localPaired;                   // by local index
};
Pairing pairLocalCards(const SyncState& state, const std::vector<LocalCard>& local);

// Record numbers in the order the card file's user counts them: by value
// where they are numbers, then as text, so the order is total.
bool lessRecordNumber(const QString& a, const QString& b);

} // namespace kestrix::syncplan
