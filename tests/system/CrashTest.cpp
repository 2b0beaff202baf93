// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Kills a process in the middle of each storage operation, at random moments,
// and checks that the card file is always either as it was or as it became:
// never half a line, never fewer cards, never empty. The counter never goes
// back. An export is there whole or not at all, and leaves no copy behind.
// A change's record counts exactly when the change landed. A merge of
// another computer's copy, knowing what that computer did, is killed too,
// and so is a CardDAV sync's change of the card file.
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "support/CardFiles.h"
#include "support/CardGenerator.h"
#include "support/Limits.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <sys/stat.h>

namespace kestrix::testing {
namespace {

constexpr int kCards = 10000;
constexpr int kKillsPerOperation = 60;

QString crashChildProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kestrix_crash_child");
}

struct Files {
    QByteArray cards;
    QByteArray counter;
    QStringList others; // any other file, hidden ones too, with its size
};

// What another computer sends: its card file as a sync program's conflict
// copy, and its history file.
struct OtherComputer {
    QString copyName;
    QByteArray copy;
    QString historyName;
    QByteArray history;
};

void lay(const TempFolder& folder, const Files& files, const OtherComputer* other = nullptr)
{
    QDir dir(folder.path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) dir.remove(name);
    folder.write(QStringLiteral("kest1.dat"), files.cards);
    folder.write(QStringLiteral("kestrec.rec"), files.counter);
    if (!other) return;
    folder.write(other->copyName, other->copy);
    folder.write(other->historyName, other->history);
}

// Another computer, apart from this one since `original`, deletes a card,
// updates one and adds one.
OtherComputer otherComputerOf(const Files& original)
{
    TempFolder cards, state;
    cards.write(QStringLiteral("kest1.dat"), original.cards);
    cards.write(QStringLiteral("kestrec.rec"), original.counter);
    Module1 module(cards.path(), state.path());
    CardRecord updated = makeCard(QStringLiteral("Contact 4000"), QStringLiteral("4000"));
    updated[indexOf(Field::CITY)] = QStringLiteral("Leeds");
    const bool changed = module.RewriteWithoutContact(QStringLiteral("Contact 17")).ok()
        && module.ReplaceCard(updated).ok()
        && module.AppendCard(makeCard(QStringLiteral("Newcomer"), QStringLiteral("42"))).ok();
    EXPECT_TRUE(changed);
    const QStringList histories =
        QDir(cards.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden);
    EXPECT_EQ(histories.size(), 1);
    return {QStringLiteral("kest1.sync-conflict-20261208-101500-OTHERPC.dat"), cards.read(QStringLiteral("kest1.dat")),
            histories.value(0), cards.read(histories.value(0))};
}

const QStringList kCardFiles = {QStringLiteral("kest1.dat"), QStringLiteral("kestrec.rec"), QStringLiteral("temp.dat")};

Files readBack(const TempFolder& folder)
{
    QStringList others;
    for (const QFileInfo& file : QDir(folder.path()).entryInfoList(QDir::Files | QDir::Hidden)) {
        // The next change removes what a killed change of the card files left.
        const QString name = file.fileName();
        const bool cardFiles = std::any_of(kCardFiles.begin(), kCardFiles.end(), [&](const QString& own) {
            return name == own || name.startsWith(QLatin1Char('.') + own + QLatin1Char('.'));
        });
        if (cardFiles) continue;
        others << QStringLiteral("%1 %2").arg(name).arg(file.size());
    }
    return {folder.read(QStringLiteral("kest1.dat")), folder.read(QStringLiteral("kestrec.rec")), others};
}

// How many changes this computer's history file beside the cards records
// as landed, against the card file standing now.
qsizetype landedRecords(const TempFolder& folder, const OtherComputer* other)
{
    QStringList histories =
        QDir(folder.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden);
    if (other) histories.removeAll(other->historyName);
    struct stat info {};
    if (histories.isEmpty() || ::stat(QFile::encodeName(folder.pathOf(QStringLiteral("kest1.dat"))), &info) != 0)
        return 0;
    return landedChanges(folder.read(histories.first()), info.st_dev, info.st_ino, info.st_size);
}

// Runs the operation to its end; `micros` takes how long it took.
void runToEnd(const TempFolder& folder, const QString& operation, qint64& micros)
{
    QProcess child;
    limitChild(child);
    child.start(crashChildProgram(), {folder.path(), operation});
    ASSERT_TRUE(finishes(child, std::chrono::minutes(1))) << operation.toStdString();
    ASSERT_EQ(child.exitCode(), 0) << operation.toStdString();
    const QByteArray out = child.readAllStandardOutput();
    micros = out.mid(out.indexOf("done ") + 5).trimmed().toLongLong();
}

TEST(CrashTest, KilledAtRandomMomentsTheFilesAreBeforeOrAfter)
{
    const unsigned seed = seedFrom("KESTRIX_CRASH_SEED", "crash test");
    SCOPED_TRACE(::testing::Message() << "KESTRIX_CRASH_SEED=" << seed << " repeats this run");
    std::mt19937 random(seed);

    Files original;
    for (int i = 1; i <= kCards; ++i)
        original.cards += cardLine(makeCard(QStringLiteral("Contact %1").arg(i), QString::number(i)));
    original.counter = "\"41\"\r\n";

    const OtherComputer otherComputer = otherComputerOf(original);
    TempFolder folder;
    int kills = 0;
    for (const QString operation : {"append", "replace", "delete", "counter", "import", "export", "merge", "sync"}) {
        const OtherComputer* other = operation == QStringLiteral("merge") ? &otherComputer : nullptr;
        lay(folder, original, other);
        const QStringList othersBefore = readBack(folder).others;
        // Kill moments spread over the whole run, as long as the slowest of
        // a few complete runs.
        qint64 duration = 0;
        for (int run = 0; run < 3; ++run) {
            lay(folder, original, other);
            qint64 micros = 0;
            ASSERT_NO_FATAL_FAILURE(runToEnd(folder, operation, micros));
            duration = std::max(duration, micros);
        }
        const Files after = readBack(folder);
        ASSERT_NE(after.cards.isEmpty() && after.counter == original.counter, true);
        if (other) { // the merge knew what the other computer did
            ASSERT_TRUE(!after.cards.contains(cardLine(makeCard(QStringLiteral("Contact 17"), QStringLiteral("17"))))
                        && after.cards.contains("Leeds") && after.cards.contains("Newcomer") && after.others.isEmpty());
        }
        int before = 0, done = 0, skipped = 0, again = 0;
        std::uniform_int_distribution<qint64> delay(0, duration + duration / 4);
        for (int k = 0; k < kKillsPerOperation; ++k) {
            lay(folder, original, other);
            QProcess child;
            limitChild(child);
            child.start(crashChildProgram(), {folder.path(), operation});
            ASSERT_TRUE(child.waitForReadyRead(waitMs(std::chrono::seconds(10))));
            QThread::usleep(static_cast<unsigned long>(delay(random)));
            child.kill();
            ASSERT_TRUE(finishes(child, std::chrono::seconds(10)));
            ++kills;

            const Files now = readBack(folder);
            const bool isBefore =
                now.cards == original.cards && now.counter == original.counter && now.others == othersBefore;
            const bool isAfter = now.cards == after.cards && now.counter == after.counter && now.others == after.others;
            // An import, or a sync's new cards, step the counter before the cards
            // are stored: killed in between, numbers are skipped, never issued twice.
            const bool addsCards = operation == QStringLiteral("import") || operation == QStringLiteral("sync");
            const bool numbersSkipped =
                addsCards && now.cards == original.cards && now.counter == after.counter && now.others.isEmpty();
            // Killed between naming the whole export and renaming it: the
            // next export removes that copy.
            const bool exportNamed = operation == QStringLiteral("export") && now.others.size() == 1
                && now.others[0].startsWith(QStringLiteral(".cards.vcf.kestrix-"))
                && now.others[0].endsWith(after.others.value(0).section(QLatin1Char(' '), 1));
            // Killed between placing the merged cards and removing the copy:
            // the next merge of that copy changes nothing more.
            const bool copyLeft = other && now.cards == after.cards && now.others == othersBefore;
            if (exportNamed || copyLeft) {
                qint64 micros = 0;
                ASSERT_NO_FATAL_FAILURE(runToEnd(folder, operation, micros));
                EXPECT_EQ(readBack(folder).cards, after.cards) << "merged again, kill " << k;
                EXPECT_EQ(readBack(folder).others, after.others) << "the copy a killed change left stays";
                ++again;
                continue;
            }
            ASSERT_TRUE(isBefore || isAfter || numbersSkipped)
                << operation.toStdString() << ", kill " << k << ": " << now.others.join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(landedRecords(folder, other), now.cards == original.cards ? 0 : 1)
                << operation.toStdString() << ", kill " << k << ": a change without its record, or a record of "
                << "one that did not land";
            (isBefore ? before : isAfter ? done : skipped) += 1;
        }
        std::cout << operation.toStdString() << ": " << kKillsPerOperation << " kills, " << before
                  << " left the files as before, " << done << " as after, " << skipped << " with numbers skipped, "
                  << again << " left a copy the next run removed; the slowest complete run took " << duration << " us"
                  << std::endl;
    }
    EXPECT_GE(kills, 200);
}

} // namespace
} // namespace kestrix::testing
