// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The two ways the search list is looked up without making every entry a
// string, against plain string searches: the completion's search for a text
// anywhere in an entry or its company, ignoring case and accents, and the
// combo box's search for its exact text.
#include "searchindex/SearchListModel.h"

#include <QHash>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

namespace kestrix::testing {
namespace {

// Texts of up to forty letters, in one byte a character or, with Σ, € and the
// like, two; many alike, so that searches hit often. Letters with accents
// come precomposed and as a letter and a combining accent; a Devanagari
// letter comes with two of its vowel signs, which are no accents. The blank
// and the hyphen part words. Plain ASCII comes thrice as often, so that runs
// of eight ASCII characters are common too.
QString randomText(std::mt19937& random)
{
    const QString ascii = QStringLiteral(" a A b B 1 - 2 e o i");
    static const QStringList alphabet =
        (QString("é É \u0301 ß ẞ Σ σ ς ÿ Ÿ € ø Ø æ Œ ł ı ﬁ Å क ि ्") + ascii + ascii + ascii).split(QLatin1Char(' '))
        << QStringLiteral(" ");
    QString text;
    for (int k = static_cast<int>(random() % 40); k > 0; --k)
        text += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
    return text;
}

// 1,500 random entries, each `copies` times over.
std::unique_ptr<SearchListModel> randomList(QStringList& texts, QStringList& companies, int copies = 1)
{
    std::mt19937 random(5);
    CompactEntries entries;
    for (int i = 0; i < 1500; ++i) {
        // As the list fill adds a card: its number, its contact's and its company's stored bytes.
        const QString number = random() % 4 == 0 ? QString() : QString::number(random() % 200);
        const QString contact = randomText(random);
        companies << (random() % 3 == 0 ? QString() : randomText(random));
        texts << number + QStringLiteral("  ") + contact;
        for (int copy = 0; copy < copies; ++copy) entries.append(number, contact.toUtf8(), companies.back().toUtf8());
    }
    auto model = std::make_unique<SearchListModel>();
    model->setEntries(std::move(entries));
    return model;
}

// The search form of a whole text, by whole-string operations: decomposed,
// accents dropped, case folded, and the letters without a decomposition
// spelt out.
QString folded(const QString& text)
{
    QString kept;
    for (const QChar c : text.normalized(QString::NormalizationForm_KD))
        if (c.category() != QChar::Mark_NonSpacing || c.script() != QChar::Script_Inherited) kept += c;
    QString result = kept.toCaseFolded();
    const std::pair<const char16_t*, const char16_t*> spellings[] = {
        {u"ß", u"ss"}, {u"æ", u"ae"}, {u"œ", u"oe"}, {u"ø", u"o"}, {u"ł", u"l"}, {u"đ", u"d"},
        {u"ð", u"d"},  {u"þ", u"th"}, {u"ħ", u"h"},  {u"ı", u"i"}, {u"ŧ", u"t"}};
    for (const auto& [letter, spelling] : spellings)
        result.replace(QString::fromUtf16(letter), QString::fromUtf16(spelling));
    return result;
}

// Whether a word of `text` (a run of letters, digits and accents) starts
// with `wanted`, `text`'s start counting as a word's.
bool aWordStartsWith(const QString& text, const QString& wanted)
{
    const auto inWord = [](QChar c) { return c.isLetterOrNumber() || c.isMark(); };
    for (qsizetype k = 0; k < text.size(); ++k) {
        const bool wordStart = k == 0 || (inWord(text[k]) && !inWord(text[k - 1]));
        if (wordStart && !folded(text[k]).isEmpty() && folded(text.mid(k)).startsWith(folded(wanted))) return true;
    }
    return false;
}

TEST(EntryLookup, RowsHoldingATextAgreeWithFoldedStringSearches)
{
    QStringList texts, companies;
    const auto list = randomList(texts, companies);
    const SearchListModel& model = *list;
    // The same entries ten times over: enough that the processor's cores
    // share the looking, each a stretch of the list.
    QStringList moreTexts, moreCompanies;
    const auto longList = randomList(moreTexts, moreCompanies, 10);
    const auto offer = [](const SearchListModel& in, int row) {
        return in.entry(row) + QChar(0) + in.data(in.index(row), SearchListModel::CompanyRole).toString();
    };
    for (const QString& wanted :
         QStringList{"b", "bé", "Béa", "ss", "ß", "ẞ1", "σ",  "ΣΣ", "ÿ",  "€ ", "2 a",     "ae", "æ",
                     "o", "fi", "e",   "l",  "I", "oe", " b", "-a", "A-", "ŒØ", "é\u0301", "कि", "क्"}) {
        std::vector<int> first, rest;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString entry = model.entry(row);
            const QString company = model.data(model.index(row), SearchListModel::CompanyRole).toString();
            if (aWordStartsWith(entry, wanted) || aWordStartsWith(company, wanted))
                first.push_back(row);
            else if (folded(entry).contains(folded(wanted)) || folded(company).contains(folded(wanted)))
                rest.push_back(row);
        }
        std::vector<int> expected = first;
        expected.insert(expected.end(), rest.begin(), rest.end());

        const EntryFinder finder(wanted);
        const SearchListModel::Found found = model.rowsWith(finder);
        EXPECT_EQ(found.rows, expected) << wanted.toStdString();
        EXPECT_EQ(found.atWordStarts, first.size()) << wanted.toStdString();
        // A longer text is looked for among the rows a shorter one found,
        // taken in list order.
        std::vector<int> shorterRows = model.rowsWith(EntryFinder(wanted.chopped(1))).rows;
        std::sort(shorterRows.begin(), shorterRows.end());
        EXPECT_EQ(model.rowsWith(finder, &shorterRows).rows, expected) << wanted.toStdString();

        // Each offer of the long list found as in the short one, in the same order.
        QHash<QString, int> kind; // 2 at a word start, 1 inside a word
        for (size_t k = 0; k < found.rows.size(); ++k) kind[offer(model, found.rows[k])] = k < first.size() ? 2 : 1;
        std::vector<int> longExpected;
        for (const int wantedKind : {2, 1})
            for (int row = 0; row < longList->rowCount(); ++row)
                if (kind.value(offer(*longList, row)) == wantedKind) longExpected.push_back(row);
        const SearchListModel::Found longFound = longList->rowsWith(finder);
        EXPECT_EQ(longFound.rows, longExpected) << wanted.toStdString() << ", long list";
        std::vector<int> longShorter = longList->rowsWith(EntryFinder(wanted.chopped(1))).rows;
        std::sort(longShorter.begin(), longShorter.end());
        EXPECT_EQ(longList->rowsWith(finder, &longShorter).rows, longExpected) << wanted.toStdString() << ", long list";
    }
}

TEST(EntryLookup, ExactSearchFindsAnEntrysFirstRowAndNoNearMiss)
{
    QStringList texts, companies;
    const auto list = randomList(texts, companies);
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
