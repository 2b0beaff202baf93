// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CompactEntries.h"

#include <QStringView>

#include <array>
#include <string>

namespace kestrix {

class SearchFold;

// Finds a text anywhere in an entry or a company, ignoring letter case and
// accents (SearchFold): "priya" in "13457  Priya Natarajan", "134" in
// "20134  Ann Lee", "bjork" in "Björklund". Reads the text as stored, without
// making a string of it, and tells whether the text was found where a word
// starts (the number, or a word of the name or company, starts with it) or
// only inside one.
class EntryFinder {
public:
    enum class Found : quint8 { Nowhere, InsideAWord, AtAWordStart };

    explicit EntryFinder(QStringView text = {});

    bool isEmpty() const { return folded_.empty(); }
    // `already` is what an earlier text of the same card gave.
    Found foundIn(CompactEntries::Units text, Found already = Found::Nowhere) const;
    // In the entry or the company; where a word starts in either counts.
    Found foundIn(const CompactEntries::Card& card) const;
    // Whether every entry holding this finder's text also holds `shorter`'s:
    // then only the entries `shorter` found need to be searched again.
    bool narrows(const EntryFinder& shorter) const { return folded_.find(shorter.folded_) != std::u32string::npos; }

private:
    Found searchLatin1(CompactEntries::Units text, Found already) const;
    Found searchUtf16(CompactEntries::Units text, Found already) const;
    // Whether the text, found at unit `i`, begins a word there; `found`
    // tells whether it was found inside a word so far.
    template <typename Text>
    bool beginsAt(const Text& text, qsizetype i, Found& found) const;

    const SearchFold* latin1_;
    std::u32string folded_;
    // For each byte of an entry kept a byte a character: whether its folded
    // characters hold the first one of the text, where a match may begin.
    std::array<bool, 256> mayBegin_{};
    // An ASCII byte folds to the first character where, or-ed with
    // asciiCase_, it equals asciiFirst_.
    unsigned char asciiCase_ = 0;
    unsigned char asciiFirst_ = 0;
};

} // namespace kestrix
