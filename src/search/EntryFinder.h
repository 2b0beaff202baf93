// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CompactEntries.h"

#include <QStringView>

#include <string>

namespace kestrix {

// Finds a text anywhere in an entry, ignoring letter case: "priya" in
// "13457  Priya Natarajan", "134" in "20134  Ann Lee". Reads the entry as
// stored, without making a string of it.
class EntryFinder {
public:
    explicit EntryFinder(QStringView text = {});

    bool isEmpty() const { return folded_.empty(); }
    bool foundIn(CompactEntries::Units entry) const;
    // Whether every entry holding this finder's text also holds `shorter`'s:
    // then only the entries `shorter` found need to be searched again.
    bool narrows(const EntryFinder& shorter) const { return folded_.find(shorter.folded_) != std::u32string::npos; }

private:
    std::u32string folded_;
};

} // namespace kestrix
