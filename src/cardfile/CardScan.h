// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <functional>

namespace kestrix {

class StoredCard;

// What a scan's caller asks after each card: the next one, or no more.
enum class ScanStep { Next, Stop };
// Each card comes with its record number: its field 14, or for a card cut
// short before it, the number RecordNumber still holds.
using CardVisitor = std::function<ScanStep(const StoredCard& card, const QString& recordNumber)>;
// What a scan leaves open when it ends: the card file in slot 1, as the
// search window's scans leave it, or no file at all.
enum class AfterScan { LeaveCardFileOpen, CloseFiles };

} // namespace kestrix
