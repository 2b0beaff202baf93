// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QtEndian>
#include <QtGlobal>

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrix {

// Hands out the double quotes of a stretch of bytes in order. It marks the
// quotes of 64 bytes at a time in one mask (16 bytes to a vector compare where
// the processor has SSE2, else 8 to a word), so a card line's 28 quotes cost a
// few operations each instead of a search each, whose start-up and branches on
// the varying field lengths cost more than the searching.
class QuoteFinder {
public:
    QuoteFinder(const char* begin, const char* end) : block_(begin), end_(end) { markBlock(); }

    // The next quote, or null when none is left before the end.
    const char* next()
    {
        while (mask_ == 0) {
            if (end_ - block_ <= kBlock) return nullptr;
            block_ += kBlock;
            markBlock();
        }
        const char* quote = block_ + std::countr_zero(mask_);
        mask_ &= mask_ - 1;
        return quote;
    }

private:
    static constexpr qsizetype kBlock = 64;

    // One bit per quote among the block's bytes (at most 64 of them).
    void markBlock()
    {
        mask_ = 0;
        const qsizetype length = std::min<qsizetype>(kBlock, end_ - block_);
        qsizetype at = 0;
#if defined(__SSE2__)
        if (length == kBlock) {
            const __m128i quote = _mm_set1_epi8('"');
            for (; at < kBlock; at += 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block_ + at));
                mask_ |= quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)))) << at;
            }
            return;
        }
#endif
        for (; at + 8 <= length; at += 8) mask_ |= quotesInWord(block_ + at) << at;
        for (; at < length; ++at) mask_ |= quint64(block_[at] == '"') << at;
    }

    // One bit per quote among eight bytes, the first byte in the lowest bit.
    static quint64 quotesInWord(const char* bytes)
    {
        constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
        quint64 word;
        std::memcpy(&word, bytes, sizeof word);
        // A byte of zero where a quote stands; then 0x80 exactly in those
        // bytes (no carry from one byte into the next), gathered into 8 bits.
        const quint64 zeroAtQuote = qFromLittleEndian(word) ^ 0x2222222222222222ULL;
        const quint64 high = ~(((zeroAtQuote & kLow7) + kLow7) | zeroAtQuote | kLow7);
        return ((high >> 7) * 0x0102040810204080ULL) >> 56;
    }

    const char* block_;
    const char* end_;
    quint64 mask_ = 0;
};

} // namespace kestrix
