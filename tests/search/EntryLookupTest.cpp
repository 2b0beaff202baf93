// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The two ways the search list is looked up without making every entry a
// string, against the toolkit's own string searches: the completion's
// search for a text anywhere in an entry, and the combo box's search for
// its exact text.
#include "search/SearchListModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace kestrix::testing {
namespace {

// Entries of a few letters, in one byte a character or, with Σ and €, two;
// many alike, so that searches hit often.
std::unique_ptr<SearchListModel> randomList(QStringList& texts)
{
    const QString alphabet = QStringLiteral("aAbBéÉßẞ1 2ΣσςÿŸ€");
    std::mt19937 random(5);
    CompactEntries entries;
    for (int i = 0; i < 3000; ++i) {
        QString entry;
        for (int k = static_cast<int>(random() % 6); k > 0; --k)
            entry += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        entries.append(entry);
        texts << entry;
    }
    auto model = std::make_unique<SearchListModel>();
    model->setEntries(std::move(entries));
    return model;
}

TEST(EntryLookup, RowsHoldingATextAgreeWithTheToolkitsCaseInsensitiveSearch)
{
    QStringList texts;
    const auto list = randomList(texts);
    const SearchListModel& model = *list;
    for (const QString& wanted : QStringList{"b", "bé", "Béa", "ss", "ß", "ẞ1", "σ", "ΣΣ", "ÿ", "€ ", "2 a"}) {
        std::vector<int> expected;
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).contains(wanted, Qt::CaseInsensitive)) expected.push_back(row);
        const EntryFinder finder(wanted);
        EXPECT_EQ(model.rowsWith(finder), expected) << wanted.toStdString();
        // A longer text is looked for among the rows a shorter one found.
        const std::vector<int> shorterRows = model.rowsWith(EntryFinder(wanted.chopped(1)));
        EXPECT_EQ(model.rowsWith(finder, &shorterRows), expected) << wanted.toStdString();
    }
}

TEST(EntryLookup, ExactSearchFindsAnEntrysFirstRowAndNoNearMiss)
{
    QStringList texts;
    const auto list = randomList(texts);
    const SearchListModel& model = *list;
    const Qt::MatchFlags exact = Qt::MatchFixedString | Qt::MatchCaseSensitive;
    for (const QString& text : std::as_const(texts)) {
        int first = 0;
        while (model.entry(first) != text) ++first;
        const QModelIndexList found = model.match(model.index(0), Qt::DisplayRole, text, -1, exact);
        ASSERT_FALSE(found.isEmpty()) << text.toStdString();
        EXPECT_EQ(found.front().row(), first);
        EXPECT_EQ(found.size(), texts.count(text));
        EXPECT_EQ(model.match(model.index(0), Qt::EditRole, text, 1, exact).size(), 1);
        for (const QString& nearMiss : {text + QLatin1Char(' '), text.toUpper(), text.toLower()}) {
            if (texts.contains(nearMiss)) continue;
            EXPECT_TRUE(model.match(model.index(0), Qt::DisplayRole, nearMiss, 1, exact).isEmpty());
        }
    }
}

} // namespace
} // namespace kestrix::testing
