// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Two computers apart, their card files and records carried by hand as a
// sync program carries them: the merge knows what the other computer did.
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "support/CardFiles.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

const QString kMergedCards = QStringLiteral("kest1.dat");
const QString kMergedCounter = QStringLiteral("kestrec.rec");
const QString kCopy = QStringLiteral("kest1.sync-conflict-20261208-101500-BRXC5PR.dat");

CardRecord cardOf(const char* contact, const char* number, const char* city = "")
{
    CardRecord card = makeCard(QLatin1String(contact), QLatin1String(number));
    if (*city) card[indexOf(Field::CITY)] = QLatin1String(city);
    return card;
}

// One computer: its folder of cards, and its own state folder for its identity.
struct Computer {
    TempFolder cards;
    TempFolder state;
    Module1 module{cards.path(), state.path()};

    QStringList stored()
    {
        QStringList found;
        EXPECT_TRUE(module
                        .ScanCards(
                            false,
                            [&](const StoredCard& card, const QString& number) {
                                const CardRecord record = card.record(number);
                                found << QStringLiteral("%1/%2/%3")
                                             .arg(record[indexOf(Field::CCNAME)], number, record[indexOf(Field::CITY)]);
                                return Module1::ScanStep::Next;
                            },
                            Module1::AfterScan::CloseFiles)
                        .ok());
        found.sort();
        return found;
    }
};

// The history files of `from`, as the sync program carries them to `to`.
void carryHistory(const TempFolder& from, const TempFolder& to)
{
    for (const QString& name :
         QDir(from.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden))
        to.write(name, from.read(name));
}

TEST(ConflictMergeThreeWay, DeletesStayDeletedUpdatesReplaceAndBothSidesAgree)
{
    Computer a, b;
    QByteArray shared;
    for (const auto& [contact, number] : {std::pair{"Ann", "1"}, {"Bob", "2"}, {"Cy", "3"}, {"Eve", "4"}, {"Fay", "5"}})
        shared += cardLine(cardOf(contact, number));
    for (Computer* computer : {&a, &b}) {
        computer->cards.write(kMergedCards, shared);
        computer->cards.write(kMergedCounter, "\"5\"\r\n");
    }

    // Apart: A deletes Ann and Eve and changes Cy; B changes Bob, Cy and Eve
    // and adds Dee.
    ASSERT_TRUE(a.module.RewriteWithoutContact(QStringLiteral("Ann")).ok());
    ASSERT_TRUE(a.module.RewriteWithoutContact(QStringLiteral("Eve")).ok());
    ASSERT_TRUE(a.module.ReplaceCard(cardOf("Cy", "3", "Leeds")).ok());
    ASSERT_TRUE(a.module.AppendCard(cardOf("Gus", "6")).ok()); // B issues 6 too
    a.cards.write(kMergedCounter, "\"6\"\r\n");
    ASSERT_TRUE(b.module.ReplaceCard(cardOf("Bob", "2", "York")).ok());
    ASSERT_TRUE(b.module.ReplaceCard(cardOf("Cy", "3", "Hull")).ok());
    ASSERT_TRUE(b.module.ReplaceCard(cardOf("Eve", "4", "Bath")).ok());
    ASSERT_TRUE(b.module.AppendCard(cardOf("Dee", "6")).ok());
    b.cards.write(kMergedCounter, "\"6\"\r\n");

    // They meet: A's card file wins, B's is kept beside it as a copy.
    a.cards.write(kCopy, b.cards.read(kMergedCards));
    carryHistory(b.cards, a.cards);
    ASSERT_TRUE(a.module.MergeConflictCopies().ok());
    const QStringList merged = {"Bob/2/York", "Cy/3/Leeds",      "Cy/7/Hull",      "Dee/6/f5 of Dee",
                                "Eve/4/Bath", "Fay/5/f5 of Fay", "Gus/6/f5 of Gus"};
    EXPECT_EQ(a.stored(), merged);
    EXPECT_FALSE(QFile::exists(a.cards.pathOf(kCopy)));
    QStringList told;
    for (const Module1::Notice& notice : a.module.takeNotices())
        told << QStringLiteral("%1 %2").arg(int(notice.kind)).arg(notice.cards.join(QLatin1Char(',')));
    EXPECT_EQ(told.join(QLatin1Char('|')),
              QStringLiteral("2 4 (Eve),6 (Dee)|6 2 (Bob)|8 3 (Cy) as 7|9 4 (Eve)|10 1 (Ann)|11 6 (Dee)"));

    // The sync program carries A's merged cards and records to B: nothing
    // more to merge on either side, and both hold the same cards.
    b.cards.write(kMergedCards, a.cards.read(kMergedCards));
    carryHistory(a.cards, b.cards);
    const QByteArray settled = a.cards.read(kMergedCards);
    ASSERT_TRUE(a.module.MergeConflictCopies().ok());
    ASSERT_TRUE(b.module.MergeConflictCopies().ok());
    EXPECT_EQ(a.cards.read(kMergedCards), settled);
    EXPECT_EQ(b.stored(), merged);

    // Without the other computer's records, nothing is removed.
    Computer c;
    c.cards.write(kMergedCards, cardLine(cardOf("Ann", "1")));
    c.cards.write(kCopy, cardLine(cardOf("Bob", "2")));
    ASSERT_TRUE(c.module.MergeConflictCopies().ok());
    EXPECT_EQ(c.stored(), (QStringList{"Ann/1/f5 of Ann", "Bob/2/f5 of Bob"}));
}

} // namespace
} // namespace kestrix::testing
