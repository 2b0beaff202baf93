// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QtGlobal>

#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Letters as the completion compares them: without letter case and without
// accents ("Å" as "a", "ë" as "e"), in their compatibility forms ("ﬁ" as
// "fi"), and the few letters that carry no accent to drop in their usual
// Latin spelling ("ø" as "o", "ß" as "ss", "æ" as "ae"). A name typed either
// way then finds the other.
//
// Works on UTF-16 units, as the entries are kept: each unit becomes none
// (an accent on its own), one or several folded characters. Built once, as
// a table: the completion folds every unit of every entry on each key.
class SearchFold {
public:
    // Folds units below U+0100, which most entries hold only.
    static const SearchFold& latin1();
    // Folds every unit. Built when first asked for, as text beyond Latin-1
    // is searched.
    static const SearchFold& all();

    // The folded characters of `unit`, which must lie below size().
    std::u32string_view of(char16_t unit) const
    {
        Q_ASSERT(unit < size());
        const quint32 at = table_[unit];
        return {pool_.data() + (at >> kOffsetShift), at & kSizeMask};
    }

    // Whether `unit` is part of a word (a letter, digit or accent) rather
    // than what stands between words. Half of a surrogate pair counts as a
    // letter.
    bool inWord(char16_t unit) const { return (table_[unit] & kInWord) != 0; }

    std::size_t size() const { return table_.size(); }

    // `text` folded, for whatever compares a typed text with entries.
    static std::u32string fold(std::u16string_view text);

private:
    explicit SearchFold(int units);

    // Each unit: where its characters start in pool_, whether it is part of
    // a word, how many characters it folds to.
    static constexpr int kOffsetShift = 6;
    static constexpr quint32 kInWord = 1u << 5;
    static constexpr quint32 kSizeMask = kInWord - 1;
    std::vector<quint32> table_;
    std::u32string pool_;
};

} // namespace kestrix
