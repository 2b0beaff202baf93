// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryFinder.h"

#include "CaseFold.h"

#include <array>

namespace kestrix {

namespace {

// Most entries are stored a byte a character; their folding is looked up.
const std::array<char32_t, 256>& latin1Folded()
{
    static const std::array<char32_t, 256> table = [] {
        std::array<char32_t, 256> folded{};
        for (int byte = 0; byte < 256; ++byte) folded[byte] = caseFolded(char16_t(byte));
        return folded;
    }();
    return table;
}

// Whether `text` (folded) starts anywhere among the `size` units that
// `foldedAt(i)` gives.
template <typename FoldedAt>
bool holds(qsizetype size, const std::u32string& text, const FoldedAt& foldedAt)
{
    const qsizetype length = static_cast<qsizetype>(text.size());
    const char32_t first = text.front();
    for (qsizetype at = 0; at + length <= size; ++at) {
        if (foldedAt(at) != first) continue;
        qsizetype matched = 1;
        while (matched < length && foldedAt(at + matched) == text[static_cast<size_t>(matched)]) ++matched;
        if (matched == length) return true;
    }
    return false;
}

} // namespace

EntryFinder::EntryFinder(QStringView text)
{
    folded_.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) folded_.push_back(caseFolded(c.unicode()));
}

bool EntryFinder::foundIn(CompactEntries::Units entry) const
{
    if (folded_.empty()) return true;
    if (entry.wide) return holds(entry.size, folded_, [&entry](qsizetype i) { return caseFolded(entry[i]); });
    const auto* bytes = reinterpret_cast<const unsigned char*>(entry.data);
    const std::array<char32_t, 256>& table = latin1Folded();
    return holds(entry.size, folded_, [bytes, &table](qsizetype i) { return table[bytes[i]]; });
}

} // namespace kestrix
