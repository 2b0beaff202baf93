// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What Kestrix exports, Kestrix imports unchanged: random cards from all of
// Unicode are written as vCard 4.0, vCard 3.0 and CSV and read back, and
// every field but the record number must come back exactly. Also times
// both ways for 100,000 cards such as people keep.
#include "formats/CardExchange.h"
#include "support/CardGenerator.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>

namespace kestrix::testing {
namespace {

constexpr int kRoundTripCards = 3000;

const char* nameOf(ExchangeFormat format)
{
    switch (format) {
    case ExchangeFormat::VCard4:
        return "vCard 4.0";
    case ExchangeFormat::VCard3:
        return "vCard 3.0";
    case ExchangeFormat::Csv:
        return "CSV";
    }
    return "?";
}

// Where two texts part, as code units, for a readable failure.
std::string difference(const QString& got, const QString& wanted)
{
    qsizetype at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) ++at;
    auto around = [at](const QString& text) {
        QString units;
        for (qsizetype i = std::max<qsizetype>(0, at - 2); i < std::min(text.size(), at + 4); ++i)
            units += QString::number(text[i].unicode(), 16) + QLatin1Char(' ');
        return units.toStdString();
    };
    return "at " + std::to_string(at) + " of " + std::to_string(got.size()) + "/" + std::to_string(wanted.size())
        + ": read [" + around(got) + "] where [" + around(wanted) + "] was written";
}

std::vector<CardRecord> randomCards(CardGenerator& generate)
{
    std::vector<CardRecord> cards;
    while (cards.size() < kRoundTripCards) {
        const bool codePage = generate.below(10) == 0;
        CardRecord card;
        for (int i = 0; i < kFieldCount - 1; ++i) card[i] = generate.field(i == indexOf(Field::MEMO), codePage);
        // A lone CR, as an old hand-edited card file can hold, mostly in a memo.
        if (generate.below(6) == 0) {
            QString& field = card[generate.below(3) == 0 ? generate.below(kFieldCount - 1) : indexOf(Field::MEMO)];
            qsizetype at = generate.below(static_cast<int>(field.size()) + 1);
            if (at < field.size() && field[at].isLowSurrogate()) ++at; // not inside a pair
            field.insert(at, QLatin1Char('\r'));
        }
        // Memo lines an import writes, which the export gives properties of
        // their own where they come back exactly, in any order and number.
        static const char* const kMemoLines[] = {
            "Title: Buyer",          "Phone (home): 555 0102",
            "Phone: 555 0103",       "E-mail (work): a@b.example",
            "Country: Sweden",       "PO box: 12",
            "Department: Sales, IT", "Birthday: 1980-05-04",
            "Birthday: --05-04",     "Birthday: next week",
            "Anniversary: 20010101", "Categories: a,b\\,c",
            "Nickname: Bo; Bosse",   "X-SKYPE (work): s.k",
            "Web: http://x.example", "Related: Ann",
            "Geo: 59.3;18.1",        "Language: sv",
            "Kind: group",           "X-ABShowAs: COMPANY",
            "Phone (cell, fax): 77", "Title: ",
            "Address label: a\rb",   "E-mail: c@d.example",
        };
        for (int lines = generate.below(4) == 0 ? generate.below(6) : 0; lines > 0; --lines) {
            QString& memo = card[indexOf(Field::MEMO)];
            if (!memo.isEmpty()) memo += QLatin1Char('\n');
            memo += QString::fromUtf8(kMemoLines[generate.below(std::size(kMemoLines))]);
            if (generate.below(4) == 0) card[generate.below(kFieldCount - 2)].clear(); // a box left empty
        }
        card[indexOf(Field::RecordNumber)] = QString::number(cards.size() + 1);
        // A card with nothing in it is not imported at all.
        if (std::all_of(card.begin(), card.end() - 1, [](const QString& field) { return field.isEmpty(); })) continue;
        cards.push_back(card);
    }
    return cards;
}

TEST(ExchangeRoundTrip, RandomCardsComeBackExactlyInEveryFormat)
{
    const unsigned seed = seedFrom("KESTRIX_EXCHANGE_SEED", "exchange round-trip");
    CardGenerator generate(seed);
    const std::vector<CardRecord> cards = randomCards(generate);
    for (ExchangeFormat format : {ExchangeFormat::VCard4, ExchangeFormat::VCard3, ExchangeFormat::Csv}) {
        SCOPED_TRACE(::testing::Message() << nameOf(format) << ", seed " << seed);
        const ImportResult result = readCards(writeCards(cards, format));
        ASSERT_TRUE(result.recognised) << result.reason.toStdString();
        for (const ImportIssue& issue : result.issues) ADD_FAILURE() << describeIssue(issue).toStdString();
        ASSERT_EQ(result.cards.size(), cards.size());
        for (std::size_t c = 0; c < cards.size(); ++c) {
            for (int i = 0; i < kFieldCount - 1; ++i)
                ASSERT_TRUE(result.cards[c][i] == cards[c][i])
                    << "card " << c + 1 << ", field " << i + 1 << " " << difference(result.cards[c][i], cards[c][i]);
            ASSERT_TRUE(result.cards[c][indexOf(Field::RecordNumber)].isEmpty());
        }
    }
}

// The name lines each card is written with, and the card read back whole:
// FN is never empty, a company's card or one that names no one is written
// with a full name that reads back as no contact, and name parts an import
// kept in the memo go out as N and come back.
TEST(ExchangeRoundTrip, NamesAreWrittenWholeAndComeBackExactly)
{
    struct Row {
        const char *contact, *company, *memo, *v4Names, *v3Names, *note, *phone = "+1 555 0100";
    };
    const Row rows[] = {
        {"", "Acme", "", "KIND:org\r\nFN:Acme\r\nN:;;;;\r\nORG:Acme\r\n",
         "FN:Acme\r\nN:;;;;\r\nORG:Acme\r\nX-ABShowAs:COMPANY\r\n", nullptr},
        {"", "", "x", "FN:+1 555 0100\r\nN:;;;;\r\n", nullptr, "NOTE:x"},
        {"", "", "x", "FN:(no name)\r\nN:;;;;\r\n", nullptr, "NOTE:x", ""},
        {"Acme", "Acme", "", "FN:Acme\r\nN:Acme;;;;\r\nORG:Acme\r\n", nullptr, nullptr},
        // Parts an import kept, given back as N.
        {"Ludwig van Beethoven", "", "Deaf.\nName parts: Beethoven; Ludwig; van",
         "FN:Ludwig van Beethoven\r\nN:Beethoven;Ludwig;van;;\r\n", nullptr, "NOTE:Deaf."},
        {"Smith John", "", "Name parts: Smith; John", "FN:Smith John\r\nN:Smith;John;;;\r\n", nullptr, nullptr},
        // Lines an import would not put back so stay in the note: the
        // parts the full name gives anyway, parts that say more, a line
        // not last, and a line after an empty note.
        {"Ludwig van Beethoven", "", "Name parts: van Beethoven; Ludwig",
         "FN:Ludwig van Beethoven\r\nN:van Beethoven;Ludwig;;;\r\n", nullptr,
         "NOTE:Name parts: van Beethoven\\; Ludwig"},
        {"Ludwig", "", "Name parts: Bach; Ludwig", "FN:Ludwig\r\nN:Ludwig;;;;\r\n", nullptr, "NOTE:Name parts: Bach"},
        {"Smith John", "", "Name parts: Smith; John\nx", "N:John;Smith;;;\r\n", nullptr, "NOTE:Name parts"},
        {"Smith John", "", "\nName parts: Smith; John", "N:John;Smith;;;\r\n", nullptr, "NOTE:\\nName parts"},
        {"", "Acme", "Name parts: Smith; John", "KIND:org\r\nFN:Acme\r\nN:;;;;\r\n",
         "N:;;;;\r\nORG:Acme\r\nX-ABShowAs:COMPANY\r\n", "NOTE:Name parts"},
    };
    for (const Row& row : rows) {
        CardRecord card;
        card[indexOf(Field::CCNAME)] = QString::fromUtf8(row.contact);
        card[indexOf(Field::CNAME)] = QString::fromUtf8(row.company);
        card[indexOf(Field::MEMO)] = QString::fromUtf8(row.memo);
        card[indexOf(Field::PHONE)] = QString::fromUtf8(row.phone);
        for (ExchangeFormat format : {ExchangeFormat::VCard4, ExchangeFormat::VCard3}) {
            const QByteArray bytes = writeCards({card}, format);
            const char* names = format == ExchangeFormat::VCard4 || !row.v3Names ? row.v4Names : row.v3Names;
            SCOPED_TRACE(bytes.toStdString());
            EXPECT_TRUE(bytes.contains(names));
            EXPECT_EQ(bytes.contains("\r\nKIND:") || bytes.contains("\r\nX-ABShowAs:"),
                      std::strstr(names, "KIND:") || std::strstr(names, "X-ABShowAs:"));
            EXPECT_EQ(bytes.contains("\r\nNOTE"), row.note != nullptr);
            if (row.note) {
                EXPECT_TRUE(bytes.contains(row.note));
            }
            const ImportResult result = readCards(bytes);
            ASSERT_EQ(result.cards.size(), 1u);
            for (int i = 0; i < kFieldCount - 1; ++i)
                EXPECT_EQ(result.cards[0][i].toStdString(), card[i].toStdString()) << "field " << i + 1;
        }
    }
}

// Reading and writing are linear: 100,000 cards in well under a second
// each way on a developer's machine, a few seconds under the sanitizers. The
// limit is loose, to fail only on something far worse than linear.
TEST(ExchangeRoundTrip, HundredThousandCardsEachWay)
{
    constexpr int kMany = 100000;
    CardGenerator generate(20261207);
    std::vector<CardRecord> cards;
    cards.reserve(kMany);
    for (int i = 0; i < kMany; ++i) cards.push_back(generate.realisticCard(i + 1));
    for (ExchangeFormat format : {ExchangeFormat::VCard4, ExchangeFormat::VCard3, ExchangeFormat::Csv}) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray bytes = writeCards(cards, format);
        const qint64 writeMs = timer.restart();
        const ImportResult result = readCards(bytes);
        const qint64 readMs = timer.elapsed();
        std::cout << nameOf(format) << ": " << kMany << " cards (" << bytes.size() / 1024 << " KiB) written in "
                  << writeMs << " ms, read in " << readMs << " ms" << std::endl;
        ASSERT_EQ(result.cards.size(), cards.size());
        EXPECT_LT(writeMs, 30000);
        EXPECT_LT(readMs, 30000);
    }
}

} // namespace
} // namespace kestrix::testing
