// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchEntries.h"

#include <QStringBuilder>

#include <algorithm>
#include <vector>

namespace kestrix {

namespace {

// One UTF-16 unit with its letter case folded; plain ASCII, by far the most
// common, without a table lookup.
char32_t folded(char16_t unit)
{
    if (unit < 0x80) return (unit >= 'A' && unit <= 'Z') ? unit + ('a' - 'A') : unit;
    return QChar::toCaseFolded(char32_t(unit));
}

// Compares unit by unit with case folded; a sort of a million entries spends
// most of its time here.
int compareIgnoringCase(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t* x = a.utf16();
    const char16_t* y = b.utf16();
    for (qsizetype i = 0; i < common; ++i) {
        if (x[i] == y[i]) continue;
        const char32_t fx = folded(x[i]);
        const char32_t fy = folded(y[i]);
        if (fx != fy) return fx < fy ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

QString searchEntry(const QString& recordNumber, const QString& contact)
{
    return recordNumber % QLatin1String("  ") % contact;
}

void sortSearchEntries(QStringList& entries)
{
    // Sorted through compact keys holding the first eight folded units, so
    // most comparisons touch one contiguous array instead of a million
    // scattered strings; only entries alike in those units compare in full.
    struct Key {
        quint64 high = 0;
        quint64 low = 0;
        qsizetype index = 0;
    };
    std::vector<Key> keys(static_cast<size_t>(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        Key& key = keys[static_cast<size_t>(i)];
        key.index = i;
        for (qsizetype unit = 0; unit < 8; ++unit) {
            const quint64 value = unit < entry.size() ? (folded(entry[unit].unicode()) & 0xFFFF) : 0;
            (unit < 4 ? key.high : key.low) |= value << (16 * (3 - unit % 4));
        }
    }
    std::stable_sort(keys.begin(), keys.end(), [&entries](const Key& a, const Key& b) {
        if (a.high != b.high) return a.high < b.high;
        if (a.low != b.low) return a.low < b.low;
        const QString& x = entries[a.index];
        const QString& y = entries[b.index];
        const int ignoringCase = compareIgnoringCase(x, y);
        return ignoringCase != 0 ? ignoringCase < 0 : x < y;
    });
    QStringList sorted;
    sorted.reserve(entries.size());
    for (const Key& key : keys) sorted.append(std::move(entries[key.index]));
    entries = std::move(sorted);
}

} // namespace kestrix
