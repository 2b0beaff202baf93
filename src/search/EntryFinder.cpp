// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryFinder.h"

#include "SearchFold.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

namespace {

constexpr quint64 kEveryByte = 0x0101010101010101ULL;
constexpr quint64 kHighBits = 0x8080808080808080ULL;

// A text kept a byte a character. Eight bytes of plain ASCII are looked at
// in one go: most of them cannot begin a match.
struct Latin1Text {
    const unsigned char* bytes;
    qsizetype size;
    const SearchFold& fold;
    const std::array<bool, 256>& mayBegin;
    // (the first folded character | 0x20) in every byte, when it is ASCII:
    // an ASCII byte folds to it only where byte | 0x20 equals it.
    quint64 asciiFirst;
    bool firstIsAscii;

    std::u32string_view at(qsizetype i) const { return fold.of(bytes[i]); }
    bool inWord(qsizetype i) const { return fold.inWord(bytes[i]); }

    bool eightMayHoldABeginning(qsizetype i) const
    {
        quint64 eight = 0;
        std::memcpy(&eight, bytes + i, sizeof eight);
        if ((eight & kHighBits) != 0) return true;
        if (!firstIsAscii) return false;
        const quint64 differs = (eight | 0x20 * kEveryByte) ^ asciiFirst;
        return ((differs - kEveryByte) & ~differs & kHighBits) != 0; // a byte of it is zero
    }

    // The first unit from `i` on where a match may begin, or `size`.
    qsizetype nextBeginning(qsizetype i) const
    {
        for (;;) {
            while (i + 8 <= size && !eightMayHoldABeginning(i)) i += 8;
            for (const qsizetype stop = std::min(size, i + 8); i < stop; ++i)
                if (mayBegin[bytes[i]]) return i;
            if (i >= size) return size;
        }
    }
};

// A text kept in UTF-16 units.
struct Utf16Text {
    CompactEntries::Units units;
    qsizetype size;
    const SearchFold& fold;
    char32_t first;

    std::u32string_view at(qsizetype i) const { return fold.of(units[i]); }
    bool inWord(qsizetype i) const { return fold.inWord(units[i]); }

    qsizetype nextBeginning(qsizetype i) const
    {
        while (i < size && at(i).find(first) == std::u32string_view::npos) ++i;
        return i;
    }
};

// Whether `folded` follows in `text` from character `j` of unit `i` on.
template <typename Text>
bool followsAt(const Text& text, const std::u32string& folded, qsizetype i, std::size_t j)
{
    std::size_t matched = 0;
    std::u32string_view characters = text.at(i).substr(j);
    for (;;) {
        for (const char32_t c : characters) {
            if (c != folded[matched]) return false;
            if (++matched == folded.size()) return true;
        }
        if (++i == text.size) return false;
        characters = text.at(i);
    }
}

} // namespace

EntryFinder::EntryFinder(QStringView text) : folded_(SearchFold::fold(std::u16string_view(text.utf16(), text.size())))
{
    if (folded_.empty()) return;
    const SearchFold& latin1 = SearchFold::latin1();
    for (int byte = 0; byte < 256; ++byte)
        mayBegin_[byte] = latin1.of(char16_t(byte)).find(folded_.front()) != std::u32string_view::npos;
}

template <typename Text>
EntryFinder::Found EntryFinder::search(const Text& text, Found already) const
{
    Found found = already;
    const char32_t first = folded_.front();
    for (qsizetype i = text.nextBeginning(0); i < text.size; i = text.nextBeginning(i + 1)) {
        const std::u32string_view characters = text.at(i);
        for (std::size_t j = 0; j < characters.size(); ++j) {
            if (characters[j] != first) continue;
            const bool wordStart = j == 0 && (i == 0 || (text.inWord(i) && !text.inWord(i - 1)));
            // Once found inside a word, only a word start can tell more.
            if (found != Found::Nowhere && !wordStart) continue;
            if (!followsAt(text, folded_, i, j)) continue;
            if (wordStart) return Found::AtAWordStart;
            found = Found::InsideAWord;
        }
    }
    return found;
}

EntryFinder::Found EntryFinder::foundIn(CompactEntries::Units text, Found already) const
{
    if (folded_.empty()) return Found::AtAWordStart;
    if (text.wide) return search(Utf16Text{text, text.size, SearchFold::all(), folded_.front()}, already);
    const char32_t first = folded_.front();
    const bool firstIsAscii = first < 0x80;
    return search(Latin1Text{reinterpret_cast<const unsigned char*>(text.data), text.size, SearchFold::latin1(),
                             mayBegin_, firstIsAscii ? (first | 0x20) * kEveryByte : 0, firstIsAscii},
                  already);
}

EntryFinder::Found EntryFinder::foundIn(const CompactEntries::Card& card) const
{
    const Found inEntry = foundIn(card.entry);
    return inEntry == Found::AtAWordStart ? inEntry : foundIn(card.company, inEntry);
}

} // namespace kestrix
