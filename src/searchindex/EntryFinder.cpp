// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryFinder.h"

#include "SearchFold.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrix {

namespace {

// Sixteen bytes of a text looked at at once: bit k stands for byte k.
struct Sixteen {
    unsigned beyondAscii; // bytes from 0x80 up
    unsigned ascii;       // ASCII bytes that, or-ed with a case bit, equal a character
    unsigned words;       // ASCII letters and digits: ASCII's part of words
};

#if defined(__SSE2__)
Sixteen lookAt(const unsigned char* at, unsigned char caseBit, unsigned char character)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto beyondAscii = unsigned(_mm_movemask_epi8(bytes));
    const __m128i folded = _mm_or_si128(bytes, _mm_set1_epi8(char(caseBit)));
    const auto equal = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(folded, _mm_set1_epi8(char(character)))));
    // Bytes from 0x80 up compare as negative, so as in no range.
    const auto within = [bytes](char low, char high) {
        return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(char(low - 1))),
                             _mm_cmplt_epi8(bytes, _mm_set1_epi8(char(high + 1))));
    };
    const __m128i words = _mm_or_si128(within('0', '9'), _mm_or_si128(within('A', 'Z'), within('a', 'z')));
    return {beyondAscii, equal & ~beyondAscii, unsigned(_mm_movemask_epi8(words))};
}
#else
// The same eight bytes at a time, where the processor has no such
// instructions the compiler may use.
constexpr quint64 kEveryByte = 0x0101010101010101ULL;
constexpr quint64 kHighBits = 0x8080808080808080ULL;

// A bit for each byte whose high bit is set, byte k's as bit k.
unsigned highBitsOf(quint64 eight)
{
    return unsigned((((eight & kHighBits) >> 7) * 0x0102040810204080ULL) >> 56);
}

// In each byte of `ascii` (all below 0x80), the high bit where the byte is at
// least `low`.
quint64 atLeast(quint64 ascii, unsigned low)
{
    return ((ascii | kHighBits) - low * kEveryByte) & kHighBits;
}

Sixteen lookAt(const unsigned char* at, unsigned char caseBit, unsigned char character)
{
    Sixteen sixteen{0, 0, 0};
    for (int half = 0; half < 2; ++half) {
        quint64 eight = 0;
        std::memcpy(&eight, at + 8 * half, sizeof eight);
        const quint64 ascii = eight & ~kHighBits;
        const quint64 differs = (ascii | caseBit * kEveryByte) ^ character * kEveryByte;
        const quint64 zero = ~(((differs & ~kHighBits) + ~kHighBits) | differs) & kHighBits;
        const auto within = [ascii](unsigned low, unsigned high) {
            return atLeast(ascii, low) & ~atLeast(ascii, high + 1);
        };
        const quint64 words = within('0', '9') | within('A', 'Z') | within('a', 'z');
        const unsigned beyondAscii = highBitsOf(eight);
        sixteen.beyondAscii |= beyondAscii << (8 * half);
        sixteen.ascii |= (highBitsOf(zero) & ~beyondAscii) << (8 * half);
        sixteen.words |= (highBitsOf(words) & ~beyondAscii) << (8 * half);
    }
    return sixteen;
}
#endif

// A text kept a byte a character.
struct Latin1Text {
    const unsigned char* bytes;
    qsizetype size;
    const SearchFold& fold;

    std::u32string_view at(qsizetype i) const { return fold.of(bytes[i]); }
    bool inWord(qsizetype i) const { return fold.inWord(bytes[i]); }
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

EntryFinder::EntryFinder(QStringView text)
    : latin1_(&SearchFold::latin1()), folded_(SearchFold::fold(std::u16string_view(text.utf16(), text.size())))
{
    if (folded_.empty()) return;
    const char32_t first = folded_.front();
    const SearchFold& latin1 = *latin1_;
    for (int byte = 0; byte < 256; ++byte)
        mayBegin_[byte] = latin1.of(char16_t(byte)).find(first) != std::u32string_view::npos;
    // ASCII bytes fold to the first character where, with a letter's case
    // bit set, they equal it; no ASCII byte folds to a character beyond.
    const bool letter = (first >= 'a' && first <= 'z');
    asciiCase_ = letter ? 0x20 : 0;
    asciiFirst_ = first < 0x80 ? static_cast<unsigned char>(first) : 0x80; // no ASCII byte
}

template <typename Text>
bool EntryFinder::beginsAt(const Text& text, qsizetype i, Found& found) const
{
    const std::u32string_view characters = text.at(i);
    for (std::size_t j = 0; j < characters.size(); ++j) {
        if (characters[j] != folded_.front()) continue;
        const bool wordStart = j == 0 && (i == 0 || (text.inWord(i) && !text.inWord(i - 1)));
        // Once found inside a word, only a word start can tell more.
        if (found != Found::Nowhere && !wordStart) continue;
        if (!followsAt(text, folded_, i, j)) continue;
        if (wordStart) return true;
        found = Found::InsideAWord;
    }
    return false;
}

EntryFinder::Found EntryFinder::searchUtf16(CompactEntries::Units units, Found already) const
{
    const Utf16Text text{units, units.size, SearchFold::all(), folded_.front()};
    Found found = already;
    for (qsizetype i = text.nextBeginning(0); i < text.size; i = text.nextBeginning(i + 1))
        if (beginsAt(text, i, found)) return Found::AtAWordStart;
    return found;
}

// Sixteen bytes at a time: where the text may begin, and where words begin,
// are found for all sixteen at once, for ASCII bytes (each one folded
// character) by comparing them all, for the others by a look-up each; most
// sixteen hold no beginning.
EntryFinder::Found EntryFinder::searchLatin1(CompactEntries::Units units, Found already) const
{
    const Latin1Text text{reinterpret_cast<const unsigned char*>(units.data), units.size, *latin1_};
    Found found = already;
    for (qsizetype i = 0; i < text.size; i += 16) {
        // Sixteen bytes are read even where fewer are left: the store keeps
        // sixteen bytes after each text (CompactEntries).
        const Sixteen sixteen = lookAt(text.bytes + i, asciiCase_, asciiFirst_);
        const qsizetype count = std::min<qsizetype>(16, text.size - i);
        const unsigned counted = (1u << count) - 1;
        unsigned other = 0;
        unsigned words = sixteen.words;
        for (unsigned left = sixteen.beyondAscii & counted; left != 0; left &= left - 1) {
            const unsigned char byte = text.bytes[i + std::countr_zero(left)];
            if (mayBegin_[byte]) other |= left & -left;
            if (text.fold.inWord(byte)) words |= left & -left;
        }
        const unsigned ascii = sixteen.ascii & counted;
        if ((ascii | other) == 0) continue;
        // A byte's predecessor is the one below it; the text's start counts
        // as a word's.
        const unsigned before = words << 1 | (i > 0 && text.inWord(i - 1) ? 1u : 0u);
        const unsigned starts = (words & ~before) | (i == 0 ? 1u : 0u);
        // A text of one character is there wherever it may begin.
        const bool oneCharacter = folded_.size() == 1;
        for (unsigned left = ascii & starts; left != 0; left &= left - 1)
            if (oneCharacter || followsAt(text, folded_, i + std::countr_zero(left), 0)) return Found::AtAWordStart;
        for (unsigned left = other; left != 0; left &= left - 1)
            if (beginsAt(text, i + std::countr_zero(left), found)) return Found::AtAWordStart;
        for (unsigned left = ascii & ~starts; found == Found::Nowhere && left != 0; left &= left - 1)
            if (oneCharacter || followsAt(text, folded_, i + std::countr_zero(left), 0)) found = Found::InsideAWord;
    }
    return found;
}

EntryFinder::Found EntryFinder::foundIn(CompactEntries::Units text, Found already) const
{
    if (folded_.empty()) return Found::AtAWordStart;
    return text.wide ? searchUtf16(text, already) : searchLatin1(text, already);
}

EntryFinder::Found EntryFinder::foundIn(const CompactEntries::Card& card) const
{
    const Found inEntry = foundIn(card.entry);
    return inEntry == Found::AtAWordStart ? inEntry : foundIn(card.company, inEntry);
}

} // namespace kestrix
