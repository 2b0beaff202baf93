// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "search/SearchEntries.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrix::testing {
namespace {

// The fast sort must order exactly as the toolkit's case-insensitive
// comparison with the exact text breaking ties, including past the first
// eight characters and for letters outside ASCII.
TEST(SearchEntries, SortAgreesWithTheToolkitsCaseInsensitiveOrder)
{
    const QString alphabet = QStringLiteral("aAbBzZéÉöÖ12 _ßΣσ");
    std::mt19937 random(7);
    QStringList entries;
    for (int i = 0; i < 3000; ++i) {
        QString entry = QStringLiteral("1234567");
        entry.truncate(static_cast<qsizetype>(random() % 8)); // long shared beginnings
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k) entry += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        entries << entry;
    }
    QStringList expected = entries;
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    sortSearchEntries(entries);
    EXPECT_EQ(entries, expected);
}

} // namespace
} // namespace kestrix::testing
