// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards out of one card file and into another, through files of other
// programs' formats: what comes in is what went out.
#include "transfer/CardTransfer.h"
#include "storage/CardLine.h"
#include "storage/Module1.h"
#include "support/CardFiles.h"
#include "support/CardGenerator.h"
#include "support/SystemCallFaults.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <iostream>

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
        const QString file = to.pathOf(QLatin1String(name));
        const ExportOutcome exported = exportCardsToFile(source, file, format);
        ASSERT_TRUE(exported.status.ok()) << exported.status.describe().toStdString();
        ASSERT_EQ(exported.cards, kCards);

        FileStatus read = FileStatus::success();
        ImportResult result =
            readContactsFile(file, format == ExchangeFormat::VCard3 ? std::optional(format) : std::nullopt, read);
        ASSERT_TRUE(read.ok() && result.recognised) << result.reason.toStdString();
        EXPECT_TRUE(result.issues.empty()) << describeIssue(result.issues.front()).toStdString();
        Module1 target(to.path());
        ASSERT_TRUE(target.AddCards(result.cards).ok());

        const std::vector<ScannedCard> back = scanCards(to.read(QStringLiteral("kest1.dat")));
        ASSERT_EQ(back.size(), cards.size());
        for (size_t i = 0; i < cards.size(); ++i) {
            for (int f = 0; f < kFieldCount - 1; ++f)
                ASSERT_TRUE(back[i].fields[f] == cards[i][f]) << "card " << i << ", field " << f + 1;
            ASSERT_EQ(back[i].fields[kFieldCount - 1], QString::number(i + 1)) << "card " << i;
        }
    }

    // A card file that fails to read after its first stretch leaves an
    // earlier export as it was.
    TempFolder to;
    const QString file = to.pathOf(QStringLiteral("cards.vcf"));
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

} // namespace
} // namespace kestrix::testing
