// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryOrder.h"

#include "CaseFold.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

using Units = CompactEntries::Units;

// An entry's first eight folded units, a byte each, for the sort to compare
// in one go. Units from 0xFF up all become 0xFF and end the key, so equal
// keys say nothing and unequal keys order as the entries do.
struct SortKey {
    quint32 high = 0;
    quint32 low = 0;
    quint32 index = 0;
};

SortKey sortKey(Units entry, quint32 index)
{
    quint64 head = 0;
    for (qsizetype i = 0; i < 8 && i < entry.size; ++i) {
        const char32_t unit = caseFolded(entry[i]);
        const quint64 byte = unit < 0xFF ? unit : 0xFF;
        head |= byte << (8 * (7 - i));
        if (byte == 0xFF) break;
    }
    return {quint32(head >> 32), quint32(head), index};
}

unsigned keyByte(const SortKey& key, int byte)
{
    return ((byte < 4 ? key.high : key.low) >> (8 * (3 - byte % 4))) & 0xFF;
}

// Sorts in place, a bucket per value of the key's byte `byte` (the first is
// the most significant), then each bucket by the next byte. Most entries part
// within their first few bytes, so this reads the keys a few times over and
// never the entries; small buckets, and keys alike in all eight bytes, are
// left to `less`. No buffer, and no slow case for any order of the file.
template <typename Less>
void sortByKeyBytes(SortKey* first, SortKey* last, int byte, const Less& less)
{
    constexpr std::ptrdiff_t kSmallBucket = 48;
    for (; byte < 8 && last - first > kSmallBucket; ++byte) {
        std::array<std::ptrdiff_t, 256> counts{};
        for (const SortKey* key = first; key != last; ++key) ++counts[keyByte(*key, byte)];
        if (counts[keyByte(*first, byte)] == last - first) continue; // one bucket: on to the next byte

        std::array<std::ptrdiff_t, 256> begins, fill;
        std::ptrdiff_t at = 0;
        for (int value = 0; value < 256; ++value) {
            begins[value] = fill[value] = at;
            at += counts[value];
        }
        // Each key moves straight into its bucket; the key it displaces moves
        // on in turn until one belongs where the chain began.
        for (int value = 0; value < 256; ++value) {
            const std::ptrdiff_t end = begins[value] + counts[value];
            while (fill[value] < end) {
                SortKey key = first[fill[value]];
                for (unsigned to = keyByte(key, byte); to != unsigned(value); to = keyByte(key, byte))
                    std::swap(key, first[fill[to]++]);
                first[fill[value]++] = key;
            }
        }
        for (int value = 0; value < 256; ++value) {
            SortKey* bucket = first + begins[value];
            if (counts[value] > 1) sortByKeyBytes(bucket, bucket + counts[value], byte + 1, less);
        }
        return;
    }
    std::sort(first, last, less);
}

} // namespace

// Unit by unit with case folded, then by the exact units.
int compareEntries(Units a, Units b)
{
    const qsizetype common = std::min(a.size, b.size);
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t x = a[i];
        const char16_t y = b[i];
        if (x == y) continue;
        const char32_t fx = caseFolded(x);
        const char32_t fy = caseFolded(y);
        if (fx != fy) return fx < fy ? -1 : 1;
    }
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (qsizetype i = 0; i < common; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

std::vector<quint32> sortedOrder(const CompactEntries& entries)
{
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) keys.push_back(sortKey(entries.units(i), quint32(i)));
    // The index breaks the last ties, so the order is stable although the
    // sorts are not.
    const auto less = [&entries](const SortKey& a, const SortKey& b) {
        if (a.high != b.high) return a.high < b.high;
        if (a.low != b.low) return a.low < b.low;
        const int order = compareEntries(entries.units(a.index), entries.units(b.index));
        return order != 0 ? order < 0 : a.index < b.index;
    };
    sortByKeyBytes(keys.data(), keys.data() + keys.size(), 0, less);
    std::vector<quint32> order(keys.size());
    std::transform(keys.begin(), keys.end(), order.begin(), [](const SortKey& key) { return key.index; });
    return order;
}

} // namespace kestrix
