// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What Kestrix exports, Kestrix imports unchanged: random cards from all of
// Unicode are written as vCard 4.0, vCard 3.0 and CSV and read back, and
// every field but the record number must come back exactly. Also times
// both ways for 100,000 cards such as people keep.
#include "formats/CardExchange.h"
#include "formats/RawVCard.h"
#include "formats/VCardMerge.h"
#include "support/CardGenerator.h"

#include <QElapsedTimer>
#include <QFile>

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

// A phone's vCards as a CardDAV server keeps them, with what Kestrix has no
// box for: a photo on folded lines, labelled groups, more numbers and
// addresses, a birthday, properties of its own. `kept` are lines that give
// the memo nothing and must stay whatever the card says; `inMemo` are those
// whose memo lines the card still holds unless its memo was rewritten.
struct ServerVCard {
    QByteArray bytes;
    ExchangeFormat version;
    QByteArrayList kept;
    QByteArrayList inMemo;
};

std::vector<ServerVCard> serverVCards()
{
    QFile sample(QStringLiteral(KESTRIX_EXCHANGE_SAMPLES "/phone-style-3.0.vcf"));
    EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
    QByteArray phone = sample.readAll();
    phone.truncate(phone.indexOf("END:VCARD") + 10);
    const QByteArray apple =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\nN:Okafor;Chidi;;;\r\n"
        "FN:Chidi Okafor\r\nORG:Lagos Freight;\r\nitem1.TEL;type=pref:+234 1 555 0300\r\n"
        "item1.X-ABLabel:_$!<Mobile>!$_\r\nitem2.TEL;type=HOME:+234 1 555 0301\r\nitem2.X-ABLabel:Warehouse\r\n"
        "TEL;type=WORK;type=VOICE:+234 1 555 0302\r\nitem3.EMAIL;type=INTERNET:chidi@freight.example\r\n"
        "item3.X-ABLabel:_$!<Other>!$_\r\nEMAIL;type=INTERNET;type=HOME:chidi@home.example\r\n"
        "item4.ADR;type=WORK:;;12 Marina Road;Lagos;;101001;Nigeria\r\nitem4.X-ABADR:ng\r\n"
        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLD\r\n"
        " BkSEx8dGh0aHx4dGhwcICQuJyAiLCMcHCg3KSwwMTQ0NB8nOT04MjwuMzQy\r\nBDAY;VALUE=date:1979-11-02\r\n"
        "X-SOCIALPROFILE;type=twitter:x-apple:chidi\r\nUID:3B9E6C2A-1F7D-4C55-9D0B-7E2C0A4D1F10\r\nEND:VCARD\r\n";
    const QByteArray v4 = "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:0c1f5a52-4a7e-4d7b-8f2e-3b6f1d9c2a40\r\n"
                          "FN:Ines Duarte\r\nN:Duarte;Ines;;;\r\nTEL;TYPE=work,voice;VALUE=uri:tel:+351-21-555-0400\r\n"
                          "TEL;TYPE=cell;VALUE=uri:tel:+351-91-555-0401\r\nEMAIL;TYPE=work:ines@porto.example\r\n"
                          "NOTE:Speaks Portuguese\\, English.\r\nX-CUSTOM-FIELD;X-PARAM=1:keep me\r\n"
                          "CATEGORIES:clients\r\nEND:VCARD\r\n";
    return {
        {phone,
         ExchangeFormat::VCard3,
         {"PRODID:-//Kestrix tests//Hand-written in the style of a phone//EN\n",
          "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ==\n", "UID:6f0c7f0e-3a51-4d7e-9a0e-phone-style-1\n"},
         {"NICKNAME:Majsan\n", "TITLE:Key Account Manager\n", "TEL;TYPE=HOME:+46 8 555 0102\n",
          "EMAIL;TYPE=INTERNET,HOME:maja.home@example.se\n", "URL:https://nordljus.example/maja\n",
          "BDAY:1985-03-14\n"}},
        {apple,
         ExchangeFormat::VCard3,
         {"PRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\n", "item1.X-ABLabel:_$!<Mobile>!$_\r\n",
          "item2.X-ABLabel:Warehouse\r\n", "item3.X-ABLabel:_$!<Other>!$_\r\n", "item4.X-ABADR:ng\r\n",
          "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLD\r\n"
          " BkSEx8dGh0aHx4dGhwcICQuJyAiLCMcHCg3KSwwMTQ0NB8nOT04MjwuMzQy\r\n",
          "UID:3B9E6C2A-1F7D-4C55-9D0B-7E2C0A4D1F10\r\n"},
         {"item2.TEL;type=HOME:+234 1 555 0301\r\n", "EMAIL;type=INTERNET;type=HOME:chidi@home.example\r\n",
          "BDAY;VALUE=date:1979-11-02\r\n", "X-SOCIALPROFILE;type=twitter:x-apple:chidi\r\n"}},
        {v4,
         ExchangeFormat::VCard4,
         {"UID:urn:uuid:0c1f5a52-4a7e-4d7b-8f2e-3b6f1d9c2a40\r\n"},
         {"X-CUSTOM-FIELD;X-PARAM=1:keep me\r\n", "CATEGORIES:clients\r\n"}},
    };
}

CardRecord importedCard(const QByteArray& vcard)
{
    const ImportResult result = readCards(vcard);
    EXPECT_EQ(result.cards.size(), 1u);
    return result.cards.empty() ? CardRecord{} : result.cards.front();
}

// Lines of `wanted` all in `merged`, in the order they had.
::testing::AssertionResult keptInOrder(const QByteArray& merged, const QByteArrayList& wanted)
{
    qsizetype last = -1;
    for (QByteArray line : wanted) {
        // Sample files may end their lines either way.
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        const qsizetype at = merged.indexOf(line);
        if (at < 0) return ::testing::AssertionFailure() << "lost: " << line.toStdString();
        if (at < last) return ::testing::AssertionFailure() << "moved: " << line.toStdString();
        last = at;
    }
    return ::testing::AssertionSuccess();
}

// A desk edit merged into the server's vCard: the merge imports as the
// edited card, keeps byte for byte and in place what the card has no box
// for, and changes nothing where nothing was edited.
TEST(ExchangeRoundTrip, DeskEditsMergeIntoTheServersVCardKeepingTheRest)
{
    const unsigned seed = seedFrom("KESTRIX_EXCHANGE_SEED", "vCard merge");
    CardGenerator generate(seed);
    for (const ServerVCard& server : serverVCards()) {
        SCOPED_TRACE(::testing::Message() << server.bytes.left(60).toStdString() << "... seed " << seed);
        const CardRecord before = importedCard(server.bytes);
        ASSERT_EQ(mergeCardIntoVCard(server.bytes, before, server.version), server.bytes);
        int memoKept = 0;
        for (int round = 0; round < 300; ++round) {
            CardRecord edited = before;
            for (int changes = 1 + generate.below(3); changes > 0; --changes) {
                const int box = generate.below(kFieldCount - 1);
                QString text;
                while (text.isEmpty()) text = generate.field(false, generate.below(4) == 0);
                // The memo's own text edited, or now and then all of it.
                if (box != indexOf(Field::MEMO))
                    edited[box] = text;
                else if (generate.below(4) == 0)
                    edited[box] = generate.field(true, false);
                else
                    edited[box] = text + QLatin1Char('\n') + edited[box];
            }
            const QByteArray merged = mergeCardIntoVCard(server.bytes, edited, server.version);
            const CardRecord back = importedCard(merged);
            for (int i = 0; i < kFieldCount - 1; ++i)
                ASSERT_TRUE(back[i] == edited[i])
                    << "round " << round << ", field " << i + 1 << " " << difference(back[i], edited[i]) << "\n"
                    << merged.toStdString();
            ASSERT_TRUE(keptInOrder(merged, server.kept)) << merged.toStdString();
            const QString& memo = edited[indexOf(Field::MEMO)];
            if (memo.endsWith(before[indexOf(Field::MEMO)])) {
                ASSERT_TRUE(keptInOrder(merged, server.inMemo)) << "round " << round << "\n" << merged.toStdString();
                ++memoKept;
            }
        }
        EXPECT_GT(memoKept, 100);
        // Only the name edited: every other line stays as the server wrote it.
        CardRecord renamed = before;
        renamed[indexOf(Field::CCNAME)] = QStringLiteral("Someone Else");
        const QByteArray merged = mergeCardIntoVCard(server.bytes, renamed, server.version);
        for (const QByteArray& line : server.bytes.split('\n')) {
            if (!line.isEmpty() && !line.startsWith("FN:") && !line.startsWith("N:")) {
                EXPECT_TRUE(merged.contains(line)) << line.toStdString() << "\n" << merged.toStdString();
            }
        }
        // A box emptied, which a number the memo held could fill on import.
        for (Field emptied : {Field::PHONE, Field::CELL, Field::email, Field::CCNAME}) {
            CardRecord edited = before;
            edited[indexOf(emptied)].clear();
            const QByteArray merged = mergeCardIntoVCard(server.bytes, edited, server.version);
            const CardRecord back = importedCard(merged);
            EXPECT_TRUE(std::equal(back.begin(), back.end() - 1, edited.begin())) << merged.toStdString();
            EXPECT_TRUE(keptInOrder(merged, server.kept)) << merged.toStdString();
        }
    }
}

// A property's bytes run on over folded lines and 2.1's quoted-printable
// soft breaks, whichever line ends the file has, and are passed on whole.
TEST(VCardMerge, PropertiesKeepTheirFoldedAndSoftBrokenLines)
{
    const QByteArray v21 = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Jan Kowalski\r\n"
                           "item2.X-NOTE-2;ENCODING=QUOTED-PRINTABLE:Dzie=C5=84 dobry, bardzo d=\r\n"
                           "=C5=82uga notatka\r\n\r\nPHOTO;ENCODING=b:/9j/4AAQ\n SkZJRg\n\tABAQ\nEND:VCARD";
    const std::vector<RawProperty> properties = rawProperties(v21);
    QByteArrayList names, bytes;
    for (const RawProperty& property : properties) {
        names << property.name;
        bytes << property.bytes;
    }
    EXPECT_EQ(names, (QByteArrayList{"BEGIN", "VERSION", "FN", "X-NOTE-2", "", "PHOTO", "END"}));
    EXPECT_EQ(properties[3].group, QByteArray("item2"));
    EXPECT_EQ(bytes[3],
              "item2.X-NOTE-2;ENCODING=QUOTED-PRINTABLE:Dzie=C5=84 dobry, bardzo d=\r\n=C5=82uga notatka\r\n");
    EXPECT_EQ(bytes[5], "PHOTO;ENCODING=b:/9j/4AAQ\n SkZJRg\n\tABAQ\n");
    EXPECT_EQ(bytes.join(), v21);
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
