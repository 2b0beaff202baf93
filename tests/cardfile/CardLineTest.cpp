// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Writing card lines, and passing stored cards on unchanged.
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "support/CardFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

TEST(CardLine, EveryFieldQuotedCommasBetweenCrLfAtTheEnd)
{
    EXPECT_EQ(cardLine(CardRecord{}),
              QByteArray("\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"));
    CardRecord card = makeCard(QStringLiteral("Zoë, Ann"), QStringLiteral("12"));
    card[indexOf(Field::MEMO)] = QStringLiteral("call back\nafter 5");
    const QByteArray line = cardLine(card);
    EXPECT_TRUE(line.startsWith("\"f1 of Zo\xC3\xAB, Ann\",\"Zo\xC3\xAB, Ann\",\""));
    EXPECT_TRUE(line.contains("\"call back\r\nafter 5\""));
    EXPECT_TRUE(line.endsWith(",\"12\"\r\n"));
    EXPECT_EQ(counterLine(QStringLiteral("42")), QByteArray("\"42\"\r\n"));
    // Every form of line break, a character beyond the BMP and a lone half
    // of a pair, as the encoder writes them.
    card[indexOf(Field::MEMO)] = QStringView(u"a\r\nb\nc\rd\r\r\n\n\U0001F600").toString() + QChar(0xD800);
    EXPECT_TRUE(cardLine(card).contains("\"a\r\nb\r\nc\rd\r\r\n\r\n\xF0\x9F\x98\x80\xEF\xBF\xBD\""));
}

TEST(CardLine, WrittenCardsReadBackUnchanged)
{
    CardRecord first = makeCard(QStringLiteral("Lee, Ann"), QStringLiteral("1"));
    first[indexOf(Field::MEMO)] = QStringLiteral("two\nlines");
    first[indexOf(Field::CITY)] = QStringLiteral("Zürich €");
    const CardRecord second = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));
    const auto cards = scanCards(cardLine(first) + cardLine(CardRecord{}) + cardLine(second));
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0].fields, QStringList(first.begin(), first.end()));
    EXPECT_EQ(cards[1].fields, QStringList(kFieldCount, QString()));
    EXPECT_EQ(cards[2].fields, QStringList(second.begin(), second.end()));
}

TEST(CardLine, DoubleQuotesAreFoundInAnyField)
{
    CardRecord card = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    EXPECT_FALSE(firstFieldWithDoubleQuote(card).has_value());
    card[indexOf(Field::email)] = QStringLiteral("a\"b");
    card[indexOf(Field::MEMO)] = QStringLiteral("\"");
    EXPECT_EQ(firstFieldWithDoubleQuote(card), Field::email);
}

TEST(StoredCard, PassesCardsOnByteForByte)
{
    // An old 8-bit card, a hand-edited unquoted card holding a quote, and a
    // card cut short by the end of the file.
    const QByteArray old =
        "\"Caf\xE9 M\xFCller\",\"Ren\xE9\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"a\r\nb\",\"3\"\r\n";
    const QByteArray handEdited = "Acme,5\" disk,x,,,,,,,,,,,4\r\n";
    TempFolder folder;
    folder.write(QStringLiteral("kest1.dat"), old + handEdited + "\"Ann\",\"Bo\"");
    Module1 module(folder.path());
    QByteArray written;
    ASSERT_TRUE(module
                    .ScanCards(false,
                               [&](const StoredCard& card, const QString&) {
                                   card.appendLineTo(written);
                                   return Module1::ScanStep::Next;
                               })
                    .ok());
    EXPECT_EQ(written,
              old
                  + "\"Acme\",5\" disk,\"x\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"4\"\r\n"
                    "\"Ann\",\"Bo\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");

    const auto reread = scanCards(written);
    ASSERT_EQ(reread.size(), 3u);
    EXPECT_EQ(reread[0].fields[1], QStringLiteral("René"));
    EXPECT_EQ(reread[1].fields[1], QStringLiteral("5\" disk"));
    EXPECT_EQ(reread[1].recordNumberAfter, QStringLiteral("4"));
    EXPECT_EQ(reread[2].itemCount, kFieldCount);
}

} // namespace
} // namespace kestrix::testing
