// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards out of one card file and into another, through files of other
// programs' formats: what comes in is what went out.
#include "exchange/CardTransfer.h"
#include "card/CardLine.h"
#include "card/TextEncoding.h"
#include "cardfile/Module1.h"
#include "exchange/ContactImport.h"
#include "support/CardFiles.h"
#include "support/CardGenerator.h"
#include "support/SystemCallFaults.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix::testing {
namespace {

constexpr int kCards = 300;

// Random cards from all of Unicode, stored as Kestrix stores them, exported
// by the program, imported into an empty folder: every field but the number
// comes back exactly, in order, and the numbers are fresh ones.
TEST(CardTransfer, ExportedCardsImportIntoAnEmptyFolderExactly)
{
    const unsigned seed = seedFrom("KESTRIX_TRANSFER_SEED", "transfer");
    CardGenerator generate(seed);
    std::vector<CardRecord> cards;
    QByteArray stored;
    for (int i = 0; i < kCards; ++i) {
        CardRecord card;
        for (Field field : kAllFields) card[indexOf(field)] = generate.field(field == Field::MEMO, false);
        card[indexOf(Field::CCNAME)] += QStringLiteral(" %1").arg(i); // no card without any text
        cards.push_back(card);
        stored += cardLine(card);
    }
    TempFolder from;
    from.write(QStringLiteral("kest1.dat"), stored);
    Module1 source(from.path());

    for (const auto& [format, name] :
         {std::pair{ExchangeFormat::VCard4, "cards.vcf"}, std::pair{ExchangeFormat::VCard3, "cards.vcard"},
          std::pair{ExchangeFormat::Csv, "cards.csv"}}) {
        SCOPED_TRACE(::testing::Message() << name << ", seed " << seed);
        TempFolder to;
        const QByteArray file = QFile::encodeName(to.pathOf(QLatin1String(name)));
        const ExportOutcome exported = exportCardsToFile(source, file, format);
        ASSERT_TRUE(exported.status.ok()) << exported.status.describe().toStdString();
        ASSERT_EQ(exported.cards, kCards);

        Module1 target(to.path());
        const ImportOutcome imported =
            importContacts(target, file, format == ExchangeFormat::VCard3 ? std::optional(format) : std::nullopt);
        ASSERT_TRUE(imported.status.ok() && imported.recognised) << imported.status.describe().toStdString();
        EXPECT_TRUE(imported.issues.empty()) << describeIssue(imported.issues.front()).toStdString();
        ASSERT_EQ(imported.stored, kCards);

        const std::vector<ScannedCard> back = scanCards(to.read(QStringLiteral("kest1.dat")));
        ASSERT_EQ(back.size(), cards.size());
        for (size_t i = 0; i < cards.size(); ++i) {
            for (int f = 0; f < kFieldCount - 1; ++f)
                ASSERT_TRUE(back[i].fields[f] == cards[i][f]) << "card " << i << ", field " << f + 1;
            // Numbered as Add numbers in a new folder: the first is 2.
            ASSERT_EQ(back[i].fields[kFieldCount - 1], QString::number(i + 2)) << "card " << i;
        }

        // Once more, every card is there already: nothing is added and no
        // number is issued, unless asked to add them all the same.
        const QByteArray cardsBefore = to.read(QStringLiteral("kest1.dat"));
        const QByteArray counterBefore = to.read(QStringLiteral("kestrec.rec"));
        const ImportOutcome again = importContacts(target, file, std::nullopt);
        ASSERT_TRUE(again.status.ok()) << again.status.describe().toStdString();
        EXPECT_EQ(again.alreadyThere, kCards);
        EXPECT_EQ(to.read(QStringLiteral("kest1.dat")), cardsBefore);
        EXPECT_EQ(to.read(QStringLiteral("kestrec.rec")), counterBefore);
        const ImportOutcome all = importContacts(target, file, std::nullopt, {}, IdenticalCards::Add);
        EXPECT_EQ(all.stored, kCards);
    }

    // A card file that fails to read after its first stretch leaves an
    // earlier export as it was.
    TempFolder to;
    const QByteArray file = QFile::encodeName(to.pathOf(QStringLiteral("cards.vcf")));
    to.write(QStringLiteral("cards.vcf"), "earlier");
    SystemCallFaults::start(0, 0);
    const bool clean = exportCardsToFile(source, file, ExchangeFormat::VCard4).status.ok();
    SystemCallFaults::stop();
    ASSERT_TRUE(clean);
    const std::vector<Call>& calls = SystemCallFaults::calls();
    const auto firstRead = std::find(calls.begin(), calls.end(), Call::Read);
    ASSERT_NE(firstRead, calls.end());
    const long secondRead = std::find(firstRead + 1, calls.end(), Call::Read) - calls.begin() + 1;
    to.write(QStringLiteral("cards.vcf"), "earlier");
    SystemCallFaults::start(secondRead, EIO);
    EXPECT_FALSE(exportCardsToFile(source, file, ExchangeFormat::VCard4).status.ok());
    SystemCallFaults::stop();
    EXPECT_TRUE(SystemCallFaults::struck());
    EXPECT_EQ(to.read(QStringLiteral("cards.vcf")), QByteArray("earlier"));
}

// Cards stored as older programs and hand edits left them (a code page, a
// line break as a lone LF, items unquoted) are the same cards as their text
// from elsewhere: exported and imported into the same folder, each is
// found there already, beside cards stored as the program stores them.
TEST(CardTransfer, CardsStoredInAnyFormAreFoundThereAlready)
{
    const unsigned seed = seedFrom("KESTRIX_TRANSFER_SEED", "stored forms");
    CardGenerator generate(seed);
    QByteArray stored;
    int count = 0;
    while (count < kCards) {
        CardRecord card;
        const int form = count % 4;
        for (Field field : kAllFields) card[indexOf(field)] = generate.field(field == Field::MEMO, form == 1);
        card[indexOf(Field::CCNAME)] += QStringLiteral("-%1").arg(count);
        card[indexOf(Field::RecordNumber)] = QString::number(count + 1);
        QByteArray line = cardLine(card);
        if (form == 1) {
            bool codePage = false;
            line.clear();
            for (int i = 0; i < kFieldCount; ++i) {
                const std::optional<QByteArray> bytes = inCodePage(card[i]);
                codePage = codePage || bytes;
                line += (i ? ",\"" : "\"") + bytes.value_or(encodeField(card[i])) + '"';
            }
            if (!codePage) continue; // no field the code page tells from UTF-8
            line += "\r\n";
        } else if (form == 2) {
            line.replace("\r\n", "\n").chop(1);
            line += "\r\n";
        } else if (form == 3) {
            // Unquoted, where no comma, blank or break inside would change it.
            const QByteArrayView items = QByteArrayView(line).chopped(2);
            if (items.count(',') == kFieldCount - 1 && std::none_of(items.begin(), items.end(), [](char c) {
                    return QByteArrayView(" \t\n\v\f\r").contains(c);
                }))
                line.replace('"', QByteArray());
        }
        stored += line;
        ++count;
    }
    TempFolder folder;
    folder.write(QStringLiteral("kest1.dat"), stored);
    Module1 module(folder.path());
    const QByteArray file = QFile::encodeName(folder.pathOf(QStringLiteral("out.vcf")));
    ASSERT_TRUE(exportCardsToFile(module, file, ExchangeFormat::VCard4).status.ok());
    const ImportOutcome again = importContacts(module, file, std::nullopt);
    ASSERT_TRUE(again.status.ok()) << again.status.describe().toStdString();
    EXPECT_EQ(again.stored, 0) << "seed " << seed;
    EXPECT_EQ(again.alreadyThere, kCards) << "seed " << seed;
    EXPECT_EQ(folder.read(QStringLiteral("kest1.dat")), stored);
}

// In a shared folder anyone may plant a link where the user will export. The
// export follows only a link the user made: through another's it would
// replace a file of the user's, or hand the cards to the link's maker.
TEST(CardTransfer, ExportsThroughNoLinkAnotherUserPlanted)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to plant links as another user";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    TempFolder cards, shared;
    cards.write(QStringLiteral("kest1.dat"), cardLine(makeCard(QStringLiteral("Ann"), QStringLiteral("1"))));
    Module1 module(cards.path());
    shared.write(QStringLiteral("notes.txt"), "mine");
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QByteArray planted = QFile::encodeName(shared.pathOf(QStringLiteral("cards.vcf")));
    ASSERT_TRUE(QFile::link(shared.pathOf(QStringLiteral("notes.txt")), QFile::decodeName(planted)));
    ASSERT_EQ(::lchown(planted.constData(), nobody->pw_uid, nobody->pw_gid), 0);
    const ExportOutcome refused = exportCardsToFile(module, planted, ExchangeFormat::VCard4);
    EXPECT_TRUE(refused.status.reason().contains(QStringLiteral("made by nobody")))
        << refused.status.describe().toStdString();
    EXPECT_EQ(shared.read(QStringLiteral("notes.txt")), QByteArray("mine"));

    // One's own link is one's own choice.
    ASSERT_EQ(::lchown(planted.constData(), 0, 0), 0);
    EXPECT_TRUE(exportCardsToFile(module, planted, ExchangeFormat::VCard4).status.ok());
    EXPECT_TRUE(shared.read(QStringLiteral("notes.txt")).startsWith("BEGIN:VCARD"));
}

} // namespace
} // namespace kestrix::testing
