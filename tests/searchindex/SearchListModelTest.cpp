// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The search list as the combo box sees it, built from stored bytes the way
// the list fill builds it, against entries built the plain way: each contact
// decoded to a string, "number, two blanks, contact", sorted by the toolkit's
// case-insensitive comparison with the exact text breaking ties; each with its
// card's company, decoded the same way. SELECT's
// comparison on the stored bytes must find each plain entry, and only it.
#include "searchindex/SearchListModel.h"
#include "card/TextEncoding.h"
#include "searchindex/SearchEntries.h"

#include <QHash>

#include <gtest/gtest.h>

#include <random>

namespace kestrix::testing {
namespace {

TEST(SearchListModel, RowsFromStoredBytesEqualTheDecodedEntriesSorted)
{
    // Stored pieces of every kind the list fill meets: ASCII with letters of
    // both cases, UTF-8 of Latin-1 and of other letters, CR LF, a byte order
    // mark, and bytes that are not UTF-8 (an older 8-bit file).
    const std::vector<QByteArray> pieces = {
        "a",
        "A",
        "b",
        "B",
        " ",
        "1",
        "\xC3\xA9",
        "\xC3\x89",
        "\xC3\x9F",
        "\xC3\xBF",
        "\xC2\xB5",
        "\xC4\x80",
        "\xC4\x81",
        "\xCE\xA3",
        "\xCF\x83",
        "\xE2\x82\xAC",
        "\xEF\xBB\xBF",
        "\r\n",
        QByteArray(1, '\0'),
        "\xE9",
        "\xC3",
        "\x80",
    };
    const QStringList numbers = {QString(),
                                 QStringLiteral("1"),
                                 QStringLiteral("10"),
                                 QStringLiteral("2"),
                                 QStringLiteral("1234567"),
                                 QStringLiteral("\u00C9"),
                                 QStringLiteral("\u03A3")};
    std::mt19937 random(11);
    CompactEntries compact;
    QStringList expected;
    QHash<QString, QStringList> companies; // by entry, the companies of its cards
    const auto randomItem = [&](int pieceCount) {
        QByteArray item;
        for (int n = pieceCount; n > 0; --n) item += pieces[random() % pieces.size()];
        return item;
    };
    for (int card = 0; card < 2000; ++card) {
        const QByteArray contact = randomItem(static_cast<int>(random() % 10));
        // Now and then a company far longer than most.
        const QByteArray company = randomItem(static_cast<int>(random() % 20 == 0 ? random() % 5000 : random() % 10));
        const QString& number = numbers[static_cast<qsizetype>(random() % numbers.size())];
        compact.append(number, contact, company);
        const QString entry = number + QStringLiteral("  ") + decodeItem(contact);
        expected << entry;
        companies[entry] << decodeItem(company);
        ASSERT_TRUE(entryEquals(entry, number, contact)) << card;
        ASSERT_FALSE(entryEquals(entry + QLatin1Char(' '), number, contact)) << card;
        ASSERT_FALSE(entryEquals(QString(entry).replace(number.size() + 1, 1, QLatin1Char('_')), number, contact));
    }
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });

    SearchListModel model;
    model.setEntries(std::move(compact));
    ASSERT_EQ(model.rowCount(), expected.size());
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        ASSERT_EQ(model.data(index, Qt::DisplayRole).toString(), expected[row]) << row;
        ASSERT_EQ(model.data(index, Qt::EditRole).toString(), expected[row]) << row;
        ASSERT_TRUE(companies[expected[row]].contains(model.data(index, SearchListModel::CompanyRole).toString()))
            << row;
    }
    EXPECT_FALSE(model.data(QModelIndex()).isValid());
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

// The fast sort must order exactly as the toolkit's case-insensitive
// comparison with the exact text breaking ties, including past the first
// eight characters and for letters outside ASCII.
TEST(SearchListModel, SortAgreesWithTheToolkitsCaseInsensitiveOrder)
{
    const QString alphabet = QStringLiteral("aAbBzZéÉöÖ12 _ßΣσ");
    std::mt19937 random(7);
    CompactEntries compact;
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        QString number = QStringLiteral("1234567");
        number.truncate(static_cast<qsizetype>(random() % 8)); // long shared beginnings
        QString contact;
        for (int k = static_cast<int>(random() % 12); k > 0; --k)
            contact += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        compact.append(number, contact.toUtf8());
        expected << number + QStringLiteral("  ") + contact;
    }
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    SearchListModel model;
    model.setEntries(std::move(compact));
    QStringList sorted;
    for (int row = 0; row < model.rowCount(); ++row) sorted << model.entry(row);
    EXPECT_EQ(sorted, expected);
}

} // namespace
} // namespace kestrix::testing
