// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Several Kestrix windows, each in a process of its own, store, update and
// delete cards and issue numbers on one card file at the same time: half of
// them in its folder, half in a second folder whose card and counter files
// are links to the first one's, as a menu entry and a terminal can start
// them. Afterwards the card file holds exactly the cards the windows were
// told were stored, each once, and no number was issued twice.
#include "card/CardLine.h"
#include "support/CardFiles.h"
#include "support/CardGenerator.h"
#include "support/Limits.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <memory>

namespace kestrix::testing {
namespace {

constexpr int kWindows = 4;
constexpr int kOperationsEach = 500;
constexpr int kCardsBefore = 1000;

QString windowChildProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kestrix_windows_child");
}

// A card as one comparable text: its 14 fields.
QString key(const QStringList& fields)
{
    return fields.join(QChar(0x1F));
}

TEST(ConcurrentWindows, FourWindowsAtOnceLoseNoCardAndIssueNoNumberTwice)
{
    const unsigned seed = seedFrom("KESTRIX_WINDOWS_SEED", "concurrent windows");
    SCOPED_TRACE(::testing::Message() << "KESTRIX_WINDOWS_SEED=" << seed << " repeats this run");

    TempFolder folder;
    QByteArray before;
    for (int i = 1; i <= kCardsBefore; ++i)
        before += cardLine(makeCard(QStringLiteral("Kept %1").arg(i), QString::number(i)));
    folder.write(QStringLiteral("kest1.dat"), before);
    folder.makeFolder(QStringLiteral("linked"));
    for (const QString name : {"kest1.dat", "kestrec.rec"})
        ASSERT_TRUE(QFile::link(QStringLiteral("../") + name, folder.pathOf(QStringLiteral("linked/") + name)));

    std::vector<std::unique_ptr<QProcess>> windows;
    for (int id = 1; id <= kWindows; ++id) {
        auto window = std::make_unique<QProcess>();
        window->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        limitChild(*window);
        const QString where = id % 2 ? folder.path() : folder.pathOf(QStringLiteral("linked"));
        window->start(windowChildProgram(),
                      {where, QString::number(seed), QString::number(id), QString::number(kOperationsEach)});
        windows.push_back(std::move(window));
    }

    std::map<QString, int> expected; // card -> how often the file must hold it
    for (const ScannedCard& card : scanCards(before)) ++expected[key(card.fields)];
    std::map<QString, int> issued;
    int operations = 0, failed = 0, unaskedUpdates = 0;
    qint64 longestWait = 0;
    for (auto& window : windows) {
        ASSERT_TRUE(finishes(*window, std::chrono::minutes(10)));
        ASSERT_EQ(window->exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(window->exitCode(), 0);
        for (const QByteArray& line : window->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words[0] == "card") {
                for (const ScannedCard& card : scanCards(QByteArray::fromHex(words[1]))) ++expected[key(card.fields)];
            } else if (words[0] == "issued") {
                ++issued[QString::fromUtf8(words[1])];
            } else if (words[0] == "operations") {
                operations += words[1].toInt();
                failed += words[3].toInt();
                unaskedUpdates += words[5].toInt();
                longestWait = std::max(longestWait, words[7].toLongLong());
            }
        }
    }

    std::map<QString, int> found;
    for (const ScannedCard& card : scanCards(folder.read(QStringLiteral("kest1.dat")))) ++found[key(card.fields)];
    int lost = 0, extra = 0, cardsChecked = 0;
    for (const auto& [card, count] : expected) {
        cardsChecked += count;
        const auto there = found.find(card);
        const int present = there == found.end() ? 0 : there->second;
        lost += std::max(0, count - present);
        extra += std::max(0, present - count);
    }
    for (const auto& [card, count] : found)
        if (!expected.count(card)) extra += count;
    int issuedTwice = 0;
    for (const auto& [number, count] : issued) issuedTwice += count - 1;

    std::cout << operations << " operations in " << kWindows
              << " windows, half of them through links from a second folder (" << failed << " refused), "
              << cardsChecked << " cards checked: " << lost << " lost, " << extra << " extra; " << issued.size()
              << " numbers issued, " << issuedTwice << " twice; " << unaskedUpdates
              << " updates found no card to ask about; longest wait for the lock " << longestWait / 1000 << " ms"
              << std::endl;
    EXPECT_GE(operations, 2000);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(extra, 0);
    EXPECT_EQ(issuedTwice, 0);
    EXPECT_EQ(unaskedUpdates, 0);
    // A few refusals under load are allowed; most operations go through.
    EXPECT_LT(failed, operations / 20);
}

} // namespace
} // namespace kestrix::testing
