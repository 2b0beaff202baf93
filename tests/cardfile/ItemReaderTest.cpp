// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Reading the item stream of card files, including files edited by hand.
#include "card/QuoteFinder.h"
#include "support/CardFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrix::testing {
namespace {

QStringList numbered(const QString& contact, const QString& number)
{
    const CardRecord card = makeCard(contact, number);
    return QStringList(card.begin(), card.end());
}

TEST(ItemReader, ReadsQuotedCardsWithCommasLineBreaksAndEmptyFields)
{
    QStringList empty;
    for (int i = 0; i < kFieldCount; ++i) empty << QString();
    QStringList withComma = numbered(QStringLiteral("Lee, Ann"), QStringLiteral("2"));
    QStringList withMemo = numbered(QStringLiteral("Bob"), QStringLiteral("3"));
    withMemo[indexOf(Field::MEMO)] = QStringLiteral("first line\r\nsecond line");

    const auto cards = scanCards(quotedLine(empty) + quotedLine(withComma) + quotedLine(withMemo)
                                 + quotedLine(numbered(QStringLiteral("Cy"), QStringLiteral("4"))));
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0].fields, empty);
    EXPECT_EQ(cards[0].recordNumberAfter, QString());
    EXPECT_EQ(cards[1].fields[1], QStringLiteral("Lee, Ann"));
    EXPECT_EQ(cards[2].fields[indexOf(Field::MEMO)], QStringLiteral("first line\nsecond line"));
    EXPECT_EQ(cards[3].fields[1], QStringLiteral("Cy"));
    EXPECT_EQ(cards[3].recordNumberAfter, QStringLiteral("4"));
}

TEST(ItemReader, LineEndsAndBlankLinesYieldNoPhantomCards)
{
    QByteArray lastWithoutBreak = quotedLine(numbered(QStringLiteral("Ann"), QStringLiteral("1")));
    lastWithoutBreak.chop(2);
    EXPECT_EQ(scanCards(lastWithoutBreak).size(), 1u);

    const QByteArray a = quotedLine(numbered(QStringLiteral("Ann"), QStringLiteral("1")));
    const QByteArray b = quotedLine(numbered(QStringLiteral("Bob"), QStringLiteral("2")));
    const auto cards = scanCards("\r\n" + a + "\r\n  \r\n" + b + "\r\n\r\n\n");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[1].fields[1], QStringLiteral("Bob"));
    EXPECT_EQ(cards[1].itemCount, kFieldCount);

    QByteArray unixEnds = a + b;
    unixEnds.replace("\r\n", "\n");
    EXPECT_EQ(scanCards(unixEnds).size(), 2u);
    QByteArray macEnds = a + b;
    macEnds.replace("\r\n", "\r");
    EXPECT_EQ(scanCards(macEnds).size(), 2u);

    EXPECT_TRUE(scanCards("").empty());
    EXPECT_TRUE(scanCards("\r\n\r\n").empty());
}

TEST(ItemReader, HandEditedItems)
{
    // Unquoted items lose their outer blanks; junk after a closing quote is
    // passed over; 14 items may stand one to a line.
    const auto cards = scanCards("  Acme Ltd ,\"Ann\"junk, 1 Main St,,x,y,z,p,q,c,f,e,m,  7  \r\n"
                                 "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\nm\n8\n");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].fields[0], QStringLiteral("Acme Ltd"));
    EXPECT_EQ(cards[0].fields[1], QStringLiteral("Ann"));
    EXPECT_EQ(cards[0].fields[2], QStringLiteral("1 Main St"));
    EXPECT_EQ(cards[0].fields[3], QString());
    EXPECT_EQ(cards[0].recordNumberAfter, QStringLiteral("7"));
    EXPECT_EQ(cards[1].fields[1], QStringLiteral("b"));
    EXPECT_EQ(cards[1].recordNumberAfter, QStringLiteral("8"));
}

TEST(ItemReader, FileEndingInsideACardKeepsWhatItHas)
{
    const QByteArray whole = quotedLine(numbered(QStringLiteral("Ann"), QStringLiteral("5")));
    auto cards = scanCards(whole + "\"Acme\",\"Bob\",\"Hi");
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[1].itemCount, 3);
    EXPECT_EQ(cards[1].fields[1], QStringLiteral("Bob"));
    EXPECT_EQ(cards[1].fields[2], QStringLiteral("Hi")); // unterminated quote runs to the end
    EXPECT_EQ(cards[1].fields[13], QString());
    // A card without a number leaves the last number read in place.
    EXPECT_EQ(cards[1].recordNumberAfter, QStringLiteral("5"));
}

TEST(ItemReader, ItemsAcrossBufferBoundaries)
{
    // The reader works a buffer at a time; put every kind of boundary on the
    // edge of one: inside a quoted item, between CR and LF, after a quote.
    const int bufferSize = 256 * 1024;
    for (int shift = -3; shift <= 3; ++shift) {
        const QByteArray tail = "\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"41\"\r\n";
        const int padding = bufferSize + shift - 1 - static_cast<int>(tail.size()) + 2;
        const QByteArray first = "\"" + QByteArray(padding, 'x') + tail;
        const QByteArray second = quotedLine(numbered(QStringLiteral("Bob"), QStringLiteral("42")));
        const auto cards = scanCards(first + second);
        ASSERT_EQ(cards.size(), 2u) << "shift " << shift;
        EXPECT_EQ(cards[0].fields[0].size(), padding);
        EXPECT_EQ(cards[0].recordNumberAfter, QStringLiteral("41"));
        EXPECT_EQ(cards[1].fields[1], QStringLiteral("Bob"));
        EXPECT_EQ(cards[1].recordNumberAfter, QStringLiteral("42"));
    }

    QStringList longMemo = numbered(QStringLiteral("Cy"), QStringLiteral("9"));
    longMemo[indexOf(Field::MEMO)] =
        QString(300 * 1024, QLatin1Char('m')) + QStringLiteral("\r\n,") + QString(300 * 1024, QLatin1Char('n'));
    const auto cards =
        scanCards(quotedLine(longMemo) + quotedLine(numbered(QStringLiteral("Di"), QStringLiteral("10"))));
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].fields[indexOf(Field::MEMO)].size(), 600 * 1024 + 2);
    EXPECT_EQ(cards[1].recordNumberAfter, QStringLiteral("10"));
}

// The quotes a card line is parsed by: every one, in order, and nothing else,
// wherever the stretch starts and ends within the finder's blocks. A quote
// missed only sends lines the slow way, which no reading test would notice.
TEST(QuoteFinder, HandsOutEveryQuoteInOrder)
{
    std::mt19937 random(5);
    QByteArray bytes(400, '\0');
    for (int round = 0; round < 3000; ++round) {
        const unsigned sparseness = 1 + random() % 64;
        for (char& byte : bytes) byte = random() % sparseness == 0 ? '"' : static_cast<char>(random() % 256);
        const int begin = static_cast<int>(random() % 100);
        const int end = begin + static_cast<int>(random() % 300);
        QuoteFinder quotes(bytes.constData() + begin, bytes.constData() + end);
        for (int at = begin; at < end; ++at) {
            if (bytes[at] != '"') continue;
            ASSERT_EQ(quotes.next(), bytes.constData() + at) << "round " << round;
        }
        ASSERT_EQ(quotes.next(), nullptr) << "round " << round;
    }
}

} // namespace
} // namespace kestrix::testing
