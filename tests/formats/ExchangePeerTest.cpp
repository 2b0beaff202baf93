// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Independent vCard readers from other projects, each from its Debian
// package, must read Kestrix's 4.0 and 3.0 exports as the cards they came
// from; python3-vobject also writes the same cards, and Kestrix must read
// them back.
#include "formats/CardExchange.h"
#include "support/CardGenerator.h"
#include "support/CaseNames.h"
#include "support/Limits.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>

namespace kestrix::testing {
namespace {

constexpr int kPeerCards = 1000;

// A script that reads the exports with one peer and compares every card's
// fields with the cards (tests/formats/peer_cards.py says how).
struct PeerReader {
    const char* name;
    const char* interpreter;
    const char* script;
    const char* packages; // what the peer needs, for the failure to name
    bool writesBack;      // it writes the cards too, to WRITTEN.vcf
};

const PeerReader kPeerReaders[] = {
    {"vobject", KESTRIX_PYTHON3, KESTRIX_VOBJECT_PEER, "python3-vobject", true},
    {"Text::vCard", KESTRIX_PERL, KESTRIX_PERL_PEER, "libtext-vcard-perl", false},
    {"libebook-contacts", KESTRIX_PYTHON3, KESTRIX_EBOOK_PEER, "python3-gi and gir1.2-ebookcontacts-1.2", false},
};

// What the scripts exit with when their peer is not installed.
constexpr int kPeerMissing = 3;

class ExchangePeerReader : public ::testing::TestWithParam<PeerReader> {};

TEST_P(ExchangePeerReader, ReadsBothExportsAsTheCards)
{
    const PeerReader& reader = GetParam();
    const unsigned seed = seedFrom("KESTRIX_EXCHANGE_SEED", "exchange peer check");
    CardGenerator generate(seed);
    std::vector<CardRecord> cards;
    QJsonArray json;
    for (int i = 0; i < kPeerCards; ++i) {
        cards.push_back(generate.realisticCard(i + 1));
        // Some a company's own card, some naming neither contact nor company.
        if (i % 10 == 3) cards.back()[indexOf(Field::CCNAME)].clear();
        if (i % 25 == 7) {
            cards.back()[indexOf(Field::CCNAME)].clear();
            cards.back()[indexOf(Field::CNAME)].clear();
        }
        QJsonArray fields;
        for (int f = 0; f < kFieldCount - 1; ++f) fields.append(cards.back()[f]);
        json.append(fields);
    }
    TempFolder folder;
    folder.write(QStringLiteral("cards.json"), QJsonDocument(json).toJson());
    folder.write(QStringLiteral("export4.vcf"), writeCards(cards, ExchangeFormat::VCard4));
    folder.write(QStringLiteral("export3.vcf"), writeCards(cards, ExchangeFormat::VCard3));

    QStringList arguments = {QString::fromUtf8(reader.script), folder.pathOf(QStringLiteral("cards.json")),
                             folder.pathOf(QStringLiteral("export4.vcf")),
                             folder.pathOf(QStringLiteral("export3.vcf"))};
    if (reader.writesBack) arguments.append(folder.pathOf(QStringLiteral("written.vcf")));
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    limitChild(peer);
    QElapsedTimer clock;
    clock.start();
    peer.start(QString::fromUtf8(reader.interpreter), arguments);
    ASSERT_TRUE(finishes(peer, std::chrono::minutes(2)))
        << "(" << reader.name << " runs on " << reader.interpreter << " with Debian's " << reader.packages << ")";
    const std::string said = peer.readAll().toStdString();
    std::cout << said << reader.name << " took " << clock.elapsed() << " ms" << std::endl;
    ASSERT_EQ(peer.exitStatus(), QProcess::NormalExit) << said;
    ASSERT_NE(peer.exitCode(), kPeerMissing) << said << "(install Debian's " << reader.packages << ")";
    ASSERT_EQ(peer.exitCode(), 0) << said << "(" << reader.name << " disagrees with the export)";
    if (!reader.writesBack) return;

    const ImportResult result = readCards(folder.read(QStringLiteral("written.vcf")));
    ASSERT_TRUE(result.recognised) << result.reason.toStdString();
    for (const ImportIssue& issue : result.issues) ADD_FAILURE() << describeIssue(issue).toStdString();
    ASSERT_EQ(result.cards.size(), cards.size());
    int compared = 0;
    for (std::size_t c = 0; c < cards.size(); ++c)
        for (int f = 0; f < kFieldCount - 1; ++f, ++compared)
            EXPECT_EQ(result.cards[c][f].toStdString(), cards[c][f].toStdString())
                << "card " << c + 1 << ", field " << f + 1 << " of " << reader.name << "'s vCard";
    std::cout << "Kestrix read " << result.cards.size() << " cards " << reader.name << " wrote, compared " << compared
              << " fields" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(, ExchangePeerReader, ::testing::ValuesIn(kPeerReaders),
                         [](const ::testing::TestParamInfo<PeerReader>& row) { return caseName(row.param.name); });

// A phone's cards, imported and exported again in both versions, keep every
// property the phone wrote, each as a property of its own.
TEST(ExchangePeer, PhoneCardsComeBackPropertyByProperty)
{
    const QString phone = QStringLiteral(KESTRIX_EXCHANGE_SAMPLES "/phone-style-3.0.vcf");
    QFile file(phone);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const ImportResult imported = readCards(file.readAll());
    ASSERT_EQ(imported.cards.size(), 2u);
    TempFolder folder;
    folder.write(QStringLiteral("export4.vcf"), writeCards(imported.cards, ExchangeFormat::VCard4));
    folder.write(QStringLiteral("export3.vcf"), writeCards(imported.cards, ExchangeFormat::VCard3));
    // What Kestrix exports comes back as it went.
    for (const char* name : {"export4.vcf", "export3.vcf"}) {
        const ImportResult back = readCards(folder.read(QLatin1String(name)));
        ASSERT_EQ(back.cards.size(), 2u);
        for (std::size_t c = 0; c < 2; ++c)
            for (int f = 0; f < kFieldCount - 1; ++f)
                EXPECT_EQ(back.cards[c][f].toStdString(), imported.cards[c][f].toStdString()) << name << " card " << c;
    }

    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    limitChild(peer);
    peer.start(QStringLiteral(KESTRIX_PYTHON3),
               {QStringLiteral(KESTRIX_PHONE_PEER), phone, folder.pathOf(QStringLiteral("export4.vcf")),
                folder.pathOf(QStringLiteral("export3.vcf"))});
    ASSERT_TRUE(finishes(peer, std::chrono::minutes(1)));
    const std::string said = peer.readAll().toStdString();
    std::cout << said;
    ASSERT_EQ(peer.exitCode(), 0) << said << "(needs Debian's python3-vobject)";
}

} // namespace
} // namespace kestrix::testing
