// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The card file operations on real files in a scratch working directory.
#include "cardfile/Module1.h"
#include "card/CardChanges.h"
#include "card/CardLine.h"
#include "cardfile/ChangeWords.h"
#include "cardfile/FileSlot.h"
#include "cardfile/StoredCard.h"
#include "files/ConflictCopies.h"
#include "files/FileStatus.h"
#include "history/HistoryFile.h"
#include "history/TakeBack.h"
#include "support/CardFiles.h"
#include "support/FileSizeLimit.h"
#include "support/Module1Access.h"
#include "support/SystemCallFaults.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix::testing {
namespace {

const QString kCards = QStringLiteral("kest1.dat");
const QString kScratch = QStringLiteral("temp.dat");
const QString kCounter = QStringLiteral("kestrec.rec");

class Module1Test : public ::testing::Test {
protected:
    QByteArray lines(std::initializer_list<std::pair<const char*, const char*>> contactsAndNumbers)
    {
        QByteArray bytes;
        for (const auto& [contact, number] : contactsAndNumbers)
            bytes += cardLine(makeCard(QLatin1String(contact), QLatin1String(number)));
        return bytes;
    }

    // The numbers a scan hands over with the cards, in file order.
    QStringList scanAll(bool createIfMissing = false, FileStatus* status = nullptr)
    {
        QStringList numbers;
        const FileStatus scanned = module.ScanCards(createIfMissing, [&](const StoredCard&, const QString& number) {
            numbers << number;
            return Module1::ScanStep::Next;
        });
        if (status)
            *status = scanned;
        else
            EXPECT_TRUE(scanned.ok()) << scanned.describe().toStdString();
        return numbers;
    }

    static std::string octal(mode_t mode)
    {
        return QString::number(mode, 8).rightJustified(4, QLatin1Char('0')).toStdString();
    }

    std::string modeOf(const QString& name) const
    {
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(folder.pathOf(name)).constData(), &info), 0) << name.toStdString();
        return octal(info.st_mode & 07777);
    }

    void setMode(const QString& name, mode_t mode) const
    {
        ASSERT_EQ(::chmod(QFile::encodeName(folder.pathOf(name)).constData(), mode), 0) << name.toStdString();
    }

    TempFolder folder;
    Module1 module{folder.path()};
};

TEST_F(Module1Test, ScanningAMissingCardFile)
{
    FileStatus withoutCreation = FileStatus::success();
    EXPECT_EQ(scanAll(false, &withoutCreation), QStringList());
    EXPECT_TRUE(withoutCreation.isMissing());
    EXPECT_FALSE(folder.exists(kCards));
    EXPECT_EQ(module.RecordNumber, QString());

    EXPECT_EQ(scanAll(true), QStringList());
    EXPECT_EQ(folder.read(kCards), QByteArray());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("1"));
}

TEST_F(Module1Test, ScanHandsOverEachNumberAndLeavesTheLastInRecordNumber)
{
    // A last card cut short before its number comes with the number before it.
    folder.write(kCards, lines({{"Ann", "1"}, {"Bob", "2"}, {"Cy", "30"}}) + "\"Dee\",\"x\"");
    EXPECT_EQ(scanAll(), QStringList({"1", "2", "30", "30"}));
    EXPECT_EQ(module.RecordNumber, QStringLiteral("30"));
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Read);
    // An empty file leaves it alone.
    folder.write(kCards, QByteArray());
    EXPECT_EQ(scanAll(), QStringList());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("30"));

    // A scan that closes its files behind it still leaves the number.
    folder.write(kCards, lines({{"Ann", "7"}}));
    ASSERT_TRUE(module
                    .ScanCards(
                        false, [](const StoredCard&, const QString&) { return Module1::ScanStep::Next; },
                        Module1::AfterScan::CloseFiles)
                    .ok());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("7"));
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Closed);
}

TEST_F(Module1Test, CardFileThatIsAFolderOrUnreachable)
{
    folder.makeFolder(kCards);
    FileStatus status = FileStatus::success();
    EXPECT_EQ(scanAll(true, &status), QStringList());
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.isMissing());
    EXPECT_EQ(status.file(), kCards);
    EXPECT_FALSE(module.AppendCard(makeCard(QStringLiteral("Ann"), QStringLiteral("1"))).ok());
    EXPECT_FALSE(module.RewriteWithoutContact(QStringLiteral("Ann")).ok());

    Module1 nowhere(folder.pathOf(QStringLiteral("gone")));
    bool visited = false;
    const FileStatus created = nowhere.ScanCards(true, [&](const StoredCard&, const QString&) {
        visited = true;
        return Module1::ScanStep::Next;
    });
    EXPECT_FALSE(created.ok());
    EXPECT_EQ(created.file(), kCards);
    EXPECT_EQ(nowhere.RecordNumber, QStringLiteral("1"));
    EXPECT_FALSE(visited);
}

TEST_F(Module1Test, AppendAddsOneWholeLine)
{
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    const CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));
    ASSERT_TRUE(module.AppendCard(ann).ok());
    ASSERT_TRUE(module.AppendCard(bob).ok());
    EXPECT_EQ(folder.read(kCards), cardLine(ann) + cardLine(bob));
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Closed);

    CardRecord quoted = bob;
    quoted[indexOf(Field::PHONE)] = QStringLiteral("\"555\"");
    EXPECT_FALSE(module.AppendCard(quoted).ok());
    EXPECT_EQ(folder.read(kCards), cardLine(ann) + cardLine(bob));
}

TEST_F(Module1Test, AppendAfterALastLineWithoutItsLineEndStartsANewLine)
{
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    const CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));
    const QByteArray handEdited = cardLine(ann).chopped(2);
    folder.write(kCards, handEdited);
    {
        // A failed write takes the line end back with the card.
        FileSizeLimit limit(static_cast<rlim_t>(handEdited.size() + 1));
        EXPECT_FALSE(module.AppendCard(bob).ok());
        EXPECT_EQ(folder.read(kCards), handEdited);
    }
    ASSERT_TRUE(module.AppendCard(bob).ok());
    EXPECT_EQ(folder.read(kCards), handEdited + "\r\n" + cardLine(bob));

    // A line ended by a lone CR or LF is left as it is; one that stops
    // after a comma has all its items yet no line end.
    for (const auto& [end, added] : {std::pair{",", "\r\n"}, std::pair{"\r", ""}, std::pair{"\n", ""}}) {
        folder.write(kCards, handEdited + end);
        ASSERT_TRUE(module.AppendCard(bob).ok());
        EXPECT_EQ(folder.read(kCards), handEdited + end + added + cardLine(bob)) << "after " << end;
    }
    const std::vector<ScannedCard> cards = scanCards(folder.read(kCards));
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[1].fields, QStringList(bob.begin(), bob.end()));
}

// A power cut, a copy or a sync broken off can leave the last card cut short
// anywhere: inside a quote, before its 14th item, in a hand-edited item. A new
// card appended after it must still read as itself, the cut card must read as
// it did, and a later rewrite must keep both. Cut at every byte of the last
// line, appended both right after a scan (as Save does) and without one.
TEST_F(Module1Test, AppendAfterALastCardCutAtAnyByteSwallowsNothing)
{
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    CardRecord cord = makeCard(QStringLiteral("Cy Dunn"), QStringLiteral("3"));
    cord[indexOf(Field::MEMO)] = QStringLiteral("two, lines\nof memo");
    const CardRecord fresh = makeCard(QStringLiteral("Dee"), QStringLiteral("4"));
    const QByteArray handEdited = "\"Cord\", Cy Dunn ,\"3 Main St\"junk,,x,\"\",\"\",p,\"\",\"\",\"\",\"\",\"m\",3\r\n";
    for (const QByteArray& last : {cardLine(cord), handEdited}) {
        for (qsizetype cut = 1; cut <= last.size(); ++cut) {
            SCOPED_TRACE(::testing::Message() << "cut after byte " << cut << " of " << last.left(cut).toStdString());
            const QByteArray before = cardLine(ann) + last.left(cut);
            folder.write(kCards, before);
            const std::vector<ScannedCard> read = scanCards(before);
            ASSERT_EQ(read.size(), 2u);
            if (cut % 2) scanAll();
            ASSERT_TRUE(module.AppendCard(fresh).ok());

            const QByteArray after = folder.read(kCards);
            ASSERT_TRUE(after.startsWith(before)) << "the cut card's bytes changed";
            const std::vector<ScannedCard> now = scanCards(after);
            ASSERT_EQ(now.size(), read.size() + 1);
            for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(now[i].fields, read[i].fields) << "card " << i;
            EXPECT_EQ(now.back().fields, QStringList(fresh.begin(), fresh.end()));
            EXPECT_EQ(now.back().itemCount, kFieldCount);
            // On a line of its own.
            ASSERT_TRUE(after.endsWith(cardLine(fresh)));
            EXPECT_TRUE(QByteArrayView("\r\n").contains(after[after.size() - cardLine(fresh).size() - 1]));

            // A rewrite passes the completed card on as it now reads.
            ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("Ann")).ok());
            const std::vector<ScannedCard> kept = scanCards(folder.read(kCards));
            ASSERT_EQ(kept.size(), read.size());
            EXPECT_EQ(kept.back().fields, QStringList(fresh.begin(), fresh.end()));
            EXPECT_EQ(kept.front().fields, read.back().fields);
            if (::testing::Test::HasFailure()) return; // one cut tells enough
        }
    }
}

TEST_F(Module1Test, RewriteDropsEveryCardOfTheContactAndKeepsTheRestInOrder)
{
    folder.write(kCards, lines({{"A", "1"}, {"B", "2"}, {"a", "3"}, {"A", "4"}, {"C", "5"}}));
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("A")).ok());
    const QByteArray kept = lines({{"B", "2"}, {"a", "3"}, {"C", "5"}});
    EXPECT_EQ(folder.read(kCards), kept);
    EXPECT_EQ(folder.read(kScratch), kept);
    EXPECT_EQ(module.RecordNumber, QStringLiteral("5"));
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Closed);
    EXPECT_EQ(Module1Access::slot2(module), SlotMode::Closed);

    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("B")).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("a")).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("C")).ok());
    EXPECT_EQ(folder.read(kCards), QByteArray());
    EXPECT_EQ(folder.read(kScratch), QByteArray());
}

// Delete, Update and Save record what they took and gave, byte for byte and
// where it stood, with the versions of the card file they went from and to:
// enough to take them back exactly. A hand-edited card the rewrite stores
// anew counts as taken and given too.
TEST_F(Module1Test, ChangesRecordWhatTheyTookAndGave)
{
    const QByteArray handEdited = "\"x\",\"B\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"7\"\n";
    const QByteArray a1 = lines({{"A", "1"}}), b2 = lines({{"B", "2"}}), a3 = lines({{"A", "3"}});
    folder.write(kCards, a1 + b2 + handEdited + a3);
    const auto versionOf = [&] {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(folder.pathOf(kCards)).constData(), &info), 0);
        return CardFileVersion{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                               static_cast<qint64>(info.st_size)};
    };
    const CardFileVersion first = versionOf();
    std::vector<QByteArray> files{folder.read(kCards)};
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("A")).ok());
    files.push_back(folder.read(kCards));
    const CardFileVersion second = versionOf();
    const qint64 storedEdit = folder.read(kCards).size() - b2.size();
    const CardRecord b9 = makeCard(QStringLiteral("B"), QStringLiteral("2"));
    ASSERT_TRUE(module.ReplaceCard(b9).ok());
    files.push_back(folder.read(kCards));
    const CardFileVersion third = versionOf();
    const CardRecord c5 = makeCard(QStringLiteral("C"), QStringLiteral("5"));
    ASSERT_TRUE(module.AppendCard(c5).ok());
    files.push_back(folder.read(kCards));

    std::vector<QString> names;
    ASSERT_TRUE(historyFilesIn(folder.path(), names).ok());
    ASSERT_EQ(names.size(), 1u);
    std::vector<ChangeRecord> records;
    qsizetype damaged = 0;
    ASSERT_TRUE(readHistory(folder.path(), names[0], records, damaged).ok());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(damaged, 0);
    const ChangeRecord& deleted = records[0];
    EXPECT_EQ(deleted.command, QStringLiteral("Delete"));
    EXPECT_EQ(deleted.subject, QStringLiteral("A"));
    EXPECT_EQ(deleted.before, first);
    EXPECT_EQ(deleted.after, second);
    const qint64 editAt = a1.size() + b2.size();
    EXPECT_EQ(deleted.removed,
              (std::vector<RecordedCard>{{0, a1}, {editAt, handEdited}, {editAt + handEdited.size(), a3}}));
    ASSERT_EQ(deleted.added.size(), 1u);
    EXPECT_EQ(deleted.added[0].offset, b2.size());
    EXPECT_EQ(deleted.added[0].bytes.size(), storedEdit);

    const ChangeRecord& updated = records[1];
    EXPECT_EQ(updated.command, QStringLiteral("Update"));
    EXPECT_EQ(updated.before, second);
    EXPECT_EQ(updated.after, third);
    EXPECT_EQ(updated.removed, (std::vector<RecordedCard>{{0, b2}}));
    EXPECT_EQ(updated.added, (std::vector<RecordedCard>{{storedEdit, cardLine(b9)}}));

    const ChangeRecord& saved = records[2];
    EXPECT_EQ(saved.command, QStringLiteral("Save"));
    EXPECT_EQ(saved.before, third);
    EXPECT_EQ(saved.after, versionOf());
    EXPECT_TRUE(saved.removed.empty());
    EXPECT_EQ(saved.added, (std::vector<RecordedCard>{{third.size, cardLine(c5)}}));

    // Each taken back from the file it left gives the file it found.
    for (size_t i = 0; i < records.size(); ++i) {
        QByteArray taken;
        EXPECT_TRUE(takeBack(files[i + 1], records[i], taken)) << i;
        EXPECT_EQ(taken, files[i]) << i;
    }
}

// Undo takes back this computer's changes newest first, each leaving the
// file byte for byte as it was; where another program's change came after,
// card by card, leaving alone what that change touched.
TEST_F(Module1Test, UndoTakesBackChangesNewestFirst)
{
    const QByteArray start = lines({{"A", "1"}, {"B", "2"}, {"A", "3"}});
    folder.write(kCards, start);
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("A")).ok());
    const QByteArray afterDelete = folder.read(kCards);
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("C"), QStringLiteral("4"))).ok());

    Module1::Undone undone;
    ASSERT_TRUE(module.UndoLastChange(undone).ok());
    EXPECT_EQ(undone.change.command, QStringLiteral("Save"));
    EXPECT_EQ(folder.read(kCards), afterDelete);
    ASSERT_TRUE(module.UndoLastChange(undone).ok());
    EXPECT_EQ(undone.change.command, QStringLiteral("Delete"));
    EXPECT_EQ(undone.change.subject, QStringLiteral("A"));
    EXPECT_EQ(undone.change.cards(), 2);
    EXPECT_EQ(folder.read(kCards), start);
    EXPECT_FALSE(module.UndoLastChange(undone).ok()) << "the undos themselves are not undone";
    // but taken back when chosen, after which the change counts again.
    std::vector<Module1::Change> changes;
    ASSERT_TRUE(module.ChangeHistory(changes).ok());
    ASSERT_TRUE(module.UndoChange(changes.front().id, undone).ok());
    EXPECT_EQ(folder.read(kCards), afterDelete);
    ASSERT_TRUE(module.UndoLastChange(undone).ok());
    EXPECT_EQ(undone.change.command, QStringLiteral("Delete"));
    EXPECT_EQ(folder.read(kCards), start);

    // Another program's change since: the cards come back at the end.
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("B")).ok());
    folder.write(kCards, folder.read(kCards) + lines({{"D", "9"}}));
    const QByteArray changed = folder.read(kCards);
    ASSERT_TRUE(module.UndoLastChange(undone).ok());
    EXPECT_TRUE(undone.stayed.isEmpty());
    EXPECT_EQ(folder.read(kCards), changed + lines({{"B", "2"}}));

    // An update whose card was changed again: the changed card stays, and
    // the card the update took stays out, since its number stands again.
    CardRecord edited = makeCard(QStringLiteral("D"), QStringLiteral("9"));
    edited[indexOf(Field::CITY)] = QStringLiteral("Leeds");
    ASSERT_TRUE(module.ReplaceCard(edited).ok());
    const QByteArray editedAgain = folder.read(kCards).replace("Leeds", "York");
    folder.write(kCards, editedAgain);
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("E"), QStringLiteral("10"))).ok());
    ASSERT_TRUE(module.UndoLastChange(undone).ok()); // the Save of E
    EXPECT_FALSE(module.UndoLastChange(undone).ok());
    EXPECT_EQ(folder.read(kCards), editedAgain) << "nothing comes back over a card changed since";
    EXPECT_EQ(undone.stayed, (QStringList{QStringLiteral("9 (D)"), QStringLiteral("9 (D)")}));
}

// The history lists every change newest first; a restore brings back what
// an older change took, keeping the changes since, and never a card that
// stands again.
TEST_F(Module1Test, RestoreBringsBackWhatAnOlderChangeTook)
{
    folder.write(kCards, lines({{"A", "1"}, {"B", "2"}, {"A", "3"}}));
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("A")).ok());
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("C"), QStringLiteral("4"))).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("B")).ok());
    const QByteArray kept = folder.read(kCards);

    std::vector<Module1::Change> changes;
    ASSERT_TRUE(module.ChangeHistory(changes).ok());
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[2].command, QStringLiteral("Delete"));
    EXPECT_EQ(changes[2].removed.size(), 2u);
    EXPECT_TRUE(changes[2].madeHere);

    Module1::Restored restored;
    ASSERT_TRUE(module.RestoreCards(changes[2].id, restored).ok());
    EXPECT_EQ(restored.cards, 2);
    EXPECT_EQ(folder.read(kCards), kept + lines({{"A", "1"}, {"A", "3"}}));
    EXPECT_FALSE(module.RestoreCards(changes[2].id, restored).ok()) << "the cards stand again";
    EXPECT_EQ(restored.stayed.size(), 2);

    ASSERT_TRUE(module.ChangeHistory(changes).ok());
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].command, QStringLiteral("Restore"));
    EXPECT_EQ(changes[0].added.size(), 2u);
}

TEST_F(Module1Test, RewriteKeepsOldBytesAndPermissions)
{
    const QByteArray old = "\"Caf\xE9\",\"Ren\xE9\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"7\"\r\n";
    folder.write(kCards, old + lines({{"Bob", "8"}}));
    ASSERT_EQ(::chmod(QFile::encodeName(folder.pathOf(kCards)).constData(), 0640), 0);
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("Bob")).ok());
    EXPECT_EQ(folder.read(kCards), old);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.pathOf(kCards)).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Root may read and write whatever the modes say, so the modes are tried as
// an ordinary user, under many umasks: a new file gets 0666 less the umask, a
// rewritten one keeps its mode, and a file the user may not write is neither
// replaced nor added to.
TEST_F(Module1Test, ModesAsAnOrdinaryUser)
{
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    const CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));
    runUnprivileged(folder.path(), [&] {
        std::mt19937 random(13);
        const auto someOf = [&](mode_t bits) { return static_cast<mode_t>(random()) & bits; };
        for (int round = 0; round < 24; ++round) {
            const mode_t mask = someOf(0177); // the user may always read and write
            ::umask(mask);
            const mode_t fresh = 0666 & ~mask;
            SCOPED_TRACE("umask " + octal(mask));
            for (const QString& name : {kCards, kCounter, kScratch, QStringLiteral("victim")})
                QFile::remove(folder.pathOf(name));

            scanAll(true);
            EXPECT_EQ(modeOf(kCards), octal(fresh)) << "created empty at start";
            ASSERT_TRUE(module.ReadCounter().ok());
            EXPECT_EQ(modeOf(kCounter), octal(fresh)) << "created empty by Add";
            ASSERT_TRUE(QFile::remove(folder.pathOf(kCounter)));
            ASSERT_TRUE(module.WriteCounter(QStringLiteral("7")).ok());
            EXPECT_EQ(modeOf(kCounter), octal(fresh)) << "created by writing a number";
            ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
            ASSERT_TRUE(module.AppendCard(ann).ok());
            ASSERT_TRUE(module.AppendCard(bob).ok());
            EXPECT_EQ(modeOf(kCards), octal(fresh)) << "created by an append";
            // Every other round the scratch file is a link, which is replaced
            // by a new file rather than given the mode of what it names.
            const mode_t victimMode = 0400 | someOf(0377);
            if (round % 2) {
                folder.write(QStringLiteral("victim"), "v");
                setMode(QStringLiteral("victim"), victimMode);
                ASSERT_TRUE(QFile::link(folder.pathOf(QStringLiteral("victim")), folder.pathOf(kScratch)));
            }

            const mode_t cardMode = 0600 | someOf(0066);
            const mode_t counterMode = 0600 | someOf(0066);
            setMode(kCards, cardMode);
            setMode(kCounter, counterMode);
            const FileStatus rewritten = module.RewriteWithoutContact(QStringLiteral("Ann"));
            ASSERT_TRUE(rewritten.ok()) << rewritten.describe().toStdString();
            ASSERT_TRUE(module.WriteCounter(QStringLiteral("8")).ok());
            ASSERT_TRUE(module.CloseAllFiles().ok());
            EXPECT_EQ(folder.read(kCards), cardLine(bob));
            EXPECT_EQ(modeOf(kCards), octal(cardMode)) << "rewritten";
            EXPECT_EQ(modeOf(kCounter), octal(counterMode)) << "rewritten";
            EXPECT_EQ(modeOf(kScratch), octal(fresh)) << "scratch file";
            if (round % 2) {
                EXPECT_EQ(modeOf(QStringLiteral("victim")), octal(victimMode));
            }

            const mode_t readOnly = 0400 | someOf(0044);
            setMode(kCards, readOnly);
            setMode(kCounter, readOnly);
            const std::string denied = std::string(": ") + std::strerror(EACCES);
            const auto said = [](const FileStatus& status) { return status.describe().toStdString(); };
            EXPECT_EQ(said(module.RewriteWithoutContact(QStringLiteral("Bob"))), "kest1.dat" + denied);
            EXPECT_EQ(said(module.ReplaceCard(ann)), "kest1.dat" + denied);
            EXPECT_EQ(said(module.AppendCard(ann)), "kest1.dat" + denied);
            EXPECT_EQ(said(module.WriteCounter(QStringLiteral("9"))), "kestrec.rec" + denied);
            (void)module.CloseAllFiles();
            EXPECT_EQ(folder.read(kCards), cardLine(bob));
            EXPECT_EQ(folder.read(kCounter), QByteArray("\"8\"\r\n"));
            EXPECT_EQ(modeOf(kCards), octal(readOnly));
            EXPECT_EQ(modeOf(kCounter), octal(readOnly));
            if (::testing::Test::HasFailure()) return; // one failing umask tells enough
        }
        // A folder that may not be written is named as the folder.
        setMode(kCards, 0666);
        ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0555), 0);
        const FileStatus refused = module.AppendCard(ann);
        ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
        EXPECT_TRUE(refused.concernsFolder());
        EXPECT_EQ(refused.describe(),
                  QDir(folder.path()).absolutePath() + QStringLiteral(": ")
                      + QString::fromLocal8Bit(std::strerror(EACCES)));
    });
}

// A file someone else owns keeps its owner and group when it is replaced:
// as root, always, and as a user, the group when the user is in it. Where
// that cannot be, the change is refused with the reason rather than taking
// the file over and locking its owner out.
TEST_F(Module1Test, OwnersAndGroupsStay)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to other users";
    const passwd* nobody = ::getpwnam("nobody");
    const group* users = ::getgrnam("users");
    ASSERT_TRUE(nobody && users);
    const uid_t user = nobody->pw_uid;
    const gid_t own = nobody->pw_gid, shared = users->gr_gid;
    const auto give = [&](const QString& name, uid_t uid, gid_t gid, mode_t mode) {
        const QByteArray path = QFile::encodeName(folder.pathOf(name));
        ASSERT_EQ(::chown(path.constData(), uid, gid), 0) << name.toStdString();
        ASSERT_EQ(::chmod(path.constData(), mode), 0) << name.toStdString();
    };
    const auto ownerOf = [&](const QString& name) {
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(folder.pathOf(name)).constData(), &info), 0) << name.toStdString();
        return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid) + " " + octal(info.st_mode & 07777);
    };
    const auto as = [](uid_t uid, gid_t gid, mode_t mode) {
        return std::to_string(uid) + ":" + std::to_string(gid) + " " + octal(mode);
    };
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));
    const CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));

    // Root in a user's folder: the user's files stay the user's, and files
    // root creates there become the user's too.
    folder.makeFolder(QStringLiteral("home"));
    give(QStringLiteral("home"), user, own, 0755);
    folder.write(QStringLiteral("home/kest1.dat"), cardLine(ann));
    folder.write(QStringLiteral("home/temp.dat"), "");
    give(QStringLiteral("home/kest1.dat"), user, shared, 0640);
    give(QStringLiteral("home/temp.dat"), user, own, 0604);
    Module1 asRoot(folder.pathOf(QStringLiteral("home")));
    ASSERT_TRUE(asRoot.AppendCard(bob).ok());
    ASSERT_TRUE(asRoot.RewriteWithoutContact(QStringLiteral("Ann")).ok());
    ASSERT_TRUE(asRoot.ReadCounter().ok());
    ASSERT_TRUE(asRoot.WriteCounter(QStringLiteral("3")).ok());
    ASSERT_TRUE(asRoot.CloseAllFiles().ok());
    EXPECT_EQ(ownerOf(QStringLiteral("home/kest1.dat")), as(user, shared, 0640));
    EXPECT_EQ(ownerOf(QStringLiteral("home/temp.dat")), as(user, own, 0604));
    EXPECT_EQ(ownerOf(QStringLiteral("home/kestrec.rec")).substr(0, std::to_string(user).size() + 1),
              std::to_string(user) + ":");
    // A card file its owner made read-only stays so, even for root.
    give(QStringLiteral("home/kest1.dat"), user, shared, 0440);
    const FileStatus readOnly = asRoot.AppendCard(ann);
    EXPECT_EQ(readOnly.describe().toStdString(), "kest1.dat: " + std::string(std::strerror(EACCES)));
    EXPECT_EQ(folder.read(QStringLiteral("home/kest1.dat")), cardLine(bob));

    // A user in a group's folder keeps the group; another user's file in a
    // folder with the sticky bit, or of a group the user is not in and which
    // may do more than everyone else, is not taken over.
    for (const char* name : {"sticky", "foreign"}) folder.makeFolder(QLatin1String(name));
    give(QStringLiteral("sticky"), 0, 0, 01777);
    give(QStringLiteral("foreign"), 0, 0, 0777);
    for (const char* name : {"sticky/kest1.dat", "foreign/kest1.dat"}) folder.write(QLatin1String(name), cardLine(ann));
    give(QStringLiteral("sticky/kest1.dat"), 0, 0, 0666);
    give(QStringLiteral("foreign/kest1.dat"), 0, 0, 0676);
    runUnprivileged(folder.path(),
                    [&] {
                        folder.makeFolder(QStringLiteral("shared"));
                        give(QStringLiteral("shared"), user, shared, 0770);
                        folder.write(QStringLiteral("shared/kest1.dat"), cardLine(ann));
                        give(QStringLiteral("shared/kest1.dat"), user, shared, 0660);
                        Module1 colleague(folder.pathOf(QStringLiteral("shared")));
                        ASSERT_TRUE(colleague.AppendCard(bob).ok());
                        ASSERT_TRUE(colleague.RewriteWithoutContact(QStringLiteral("Ann")).ok());
                        EXPECT_EQ(ownerOf(QStringLiteral("shared/kest1.dat")), as(user, shared, 0660));

                        Module1 sticky(folder.pathOf(QStringLiteral("sticky")));
                        const FileStatus refused = sticky.AppendCard(bob);
                        EXPECT_FALSE(refused.ok());
                        EXPECT_TRUE(refused.reason().contains(QStringLiteral("sticky bit")))
                            << refused.describe().toStdString();
                        EXPECT_EQ(folder.read(QStringLiteral("sticky/kest1.dat")), cardLine(ann));

                        Module1 foreign(folder.pathOf(QStringLiteral("foreign")));
                        const FileStatus notTaken = foreign.RewriteWithoutContact(QStringLiteral("Bob"));
                        EXPECT_TRUE(notTaken.reason().contains(QStringLiteral("group root")))
                            << notTaken.describe().toStdString();
                        EXPECT_EQ(folder.read(QStringLiteral("foreign/kest1.dat")), cardLine(ann));
                    },
                    {shared});
}

// Users keep their cards in a synced folder and link to them from the
// working folder; every change must reach the linked file and keep the link.
TEST_F(Module1Test, ChangesGoThroughLinksToTheUsersFilesButNeverThroughTheScratchFile)
{
    folder.makeFolder(QStringLiteral("synced"));
    folder.makeFolder(QStringLiteral("other"));
    const QString realCards = folder.pathOf(QStringLiteral("synced/cards.dat"));
    const QString realCounter = folder.pathOf(QStringLiteral("synced/counter.rec"));
    const QString victim = folder.pathOf(QStringLiteral("other/victim"));
    // A chain for the card file, the second link relative to its own folder.
    ASSERT_TRUE(QFile::link(QStringLiteral("cards.dat"), folder.pathOf(QStringLiteral("synced/link.dat"))));
    ASSERT_TRUE(QFile::link(folder.pathOf(QStringLiteral("synced/link.dat")), folder.pathOf(kCards)));
    ASSERT_TRUE(QFile::link(realCounter, folder.pathOf(kCounter)));
    ASSERT_TRUE(QFile::link(victim, folder.pathOf(kScratch)));
    folder.write(QStringLiteral("other/victim"), "untouched");

    // The links dangle at first: the files they name are created.
    scanAll(true);
    ASSERT_TRUE(module.ReadCounter().ok());
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("Ann"), QStringLiteral("1"))).ok());
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("Bob"), QStringLiteral("2"))).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("Ann")).ok());
    ASSERT_TRUE(module.WriteCounter(QStringLiteral("3")).ok());
    ASSERT_TRUE(module.CloseAllFiles().ok());

    EXPECT_EQ(folder.read(QStringLiteral("synced/cards.dat")), lines({{"Bob", "2"}}));
    EXPECT_EQ(folder.read(QStringLiteral("synced/counter.rec")), QByteArray("\"3\"\r\n"));
    EXPECT_EQ(QFileInfo(folder.pathOf(kCards)).symLinkTarget(), folder.pathOf(QStringLiteral("synced/link.dat")));
    EXPECT_EQ(QFileInfo(folder.pathOf(QStringLiteral("synced/link.dat"))).symLinkTarget(), realCards);
    EXPECT_EQ(QFileInfo(folder.pathOf(kCounter)).symLinkTarget(), realCounter);
    EXPECT_EQ(QDir(folder.pathOf(QStringLiteral("synced"))).entryList(QDir::Files | QDir::System),
              QStringList({"cards.dat", "counter.rec", "link.dat"}));
    // The scratch file is replaced, link and all; what the link named is not touched.
    EXPECT_FALSE(QFileInfo(folder.pathOf(kScratch)).isSymLink());
    EXPECT_EQ(folder.read(kScratch), lines({{"Bob", "2"}}));
    EXPECT_EQ(folder.read(QStringLiteral("other/victim")), QByteArray("untouched"));

    // Links that run in a circle name no file: a message, and nothing written.
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
    ASSERT_TRUE(QFile::link(folder.pathOf(kCards), folder.pathOf(kCards)));
    EXPECT_FALSE(module.RewriteWithoutContact(QStringLiteral("Bob")).ok());
    const FileStatus looped = module.AppendCard(makeCard(QStringLiteral("Cy"), QStringLiteral("3")));
    EXPECT_FALSE(looped.ok());
    EXPECT_EQ(looped.file(), kCards);

    // As many links in a row as the kernel follows, 40, lead to the cards; one more is refused.
    folder.makeFolder(QStringLiteral("chain"));
    folder.write(QStringLiteral("chain/0"), QByteArray());
    for (int i = 1; i <= 40; ++i)
        ASSERT_TRUE(QFile::link(QString::number(i - 1), folder.pathOf(QStringLiteral("chain/%1").arg(i))));
    for (const int links : {40, 41}) {
        ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
        ASSERT_TRUE(QFile::link(folder.pathOf(QStringLiteral("chain/%1").arg(links - 1)), folder.pathOf(kCards)));
        const FileStatus appended = module.AppendCard(makeCard(QStringLiteral("Dee"), QString::number(links)));
        EXPECT_EQ(appended.ok(), links == 40) << links << " links: " << appended.describe().toStdString();
    }
    EXPECT_EQ(folder.read(QStringLiteral("chain/0")), lines({{"Dee", "40"}}));
}

// In a shared folder anyone who may write it can plant a link named like the
// cards. A link is followed where its maker could change what it leads to
// anyway; one that would have Kestrix, run as root, write or read a file of
// root's for them is refused, named, and the file stays as it was.
TEST_F(Module1Test, LinksPlantedByOthersAreFollowedOnlyWhereTheirMakerCouldChangeTheTarget)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to plant links as another user";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const auto plant = [&](const QString& target, const QString& name) {
        ASSERT_TRUE(QFile::link(target, folder.pathOf(name)));
        ASSERT_EQ(::lchown(QFile::encodeName(folder.pathOf(name)).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    };
    folder.makeFolder(QStringLiteral("roots"));
    folder.makeFolder(QStringLiteral("theirs"));
    folder.write(QStringLiteral("roots/secret"), "root's own");
    folder.write(QStringLiteral("roots/counter"), "\"5\"\r\n");
    folder.write(QStringLiteral("theirs/cards"), QByteArray());
    setMode(QStringLiteral("roots"), 0755);
    ASSERT_EQ(::chown(QFile::encodeName(folder.path()).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(
        ::chown(QFile::encodeName(folder.pathOf(QStringLiteral("theirs"))).constData(), nobody->pw_uid, nobody->pw_gid),
        0);
    ASSERT_EQ(::chown(QFile::encodeName(folder.pathOf(QStringLiteral("theirs/cards"))).constData(), nobody->pw_uid,
                      nobody->pw_gid),
              0);
    const CardRecord ann = makeCard(QStringLiteral("Ann"), QStringLiteral("1"));

    plant(QStringLiteral("roots/secret"), kCards);
    plant(QStringLiteral("roots/counter"), kCounter);
    FileStatus status = FileStatus::success();
    scanAll(true, &status);
    EXPECT_TRUE(status.reason().contains(QStringLiteral("made by nobody"))) << status.describe().toStdString();
    EXPECT_FALSE(module.AppendCard(ann).ok());
    QString number;
    EXPECT_FALSE(module.NextRecordNumber(number).ok());
    EXPECT_TRUE(number.isEmpty());
    EXPECT_FALSE(module.WriteCounter(QStringLiteral("6")).ok());
    (void)module.CloseAllFiles();
    EXPECT_EQ(folder.read(QStringLiteral("roots/secret")), QByteArray("root's own"));
    EXPECT_EQ(folder.read(QStringLiteral("roots/counter")), QByteArray("\"5\"\r\n"));

    // A folder on the way planted the same way is no way round.
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
    ASSERT_TRUE(QFile::link(QStringLiteral("via/secret"), folder.pathOf(kCards)));
    plant(QStringLiteral("roots"), QStringLiteral("via"));
    EXPECT_TRUE(module.AppendCard(ann).reason().contains(QStringLiteral("made by nobody")));
    EXPECT_EQ(folder.read(QStringLiteral("roots/secret")), QByteArray("root's own"));

    // To a file its maker may change, the link is followed, and the file stays theirs.
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCounter)));
    plant(QStringLiteral("theirs/cards"), kCards);
    ASSERT_TRUE(module.AppendCard(ann).ok());
    EXPECT_EQ(folder.read(QStringLiteral("theirs/cards")), cardLine(ann));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.pathOf(QStringLiteral("theirs/cards"))).constData(), &info), 0);
    EXPECT_EQ(info.st_uid, nobody->pw_uid);
}

// A change killed before its rename leaves its copy behind. The next change
// removes such copies, beside the card, counter and scratch files, and
// wherever the card file's link leads; nothing that merely looks alike.
TEST_F(Module1Test, CopiesLeftByKilledChangesAreRemovedAndNothingElse)
{
    folder.makeFolder(QStringLiteral("synced"));
    folder.write(QStringLiteral("synced/cards.dat"), lines({{"Ann", "1"}}));
    ASSERT_TRUE(QFile::link(QStringLiteral("synced/cards.dat"), folder.pathOf(kCards)));
    const QStringList leftovers = {".temp.dat.kestrix-Ab12Cd", ".kestrec.rec.kestrix-000000",
                                   "synced/.cards.dat.kestrix-zZ9yY8"};
    const QStringList alike = {"kest1.dat.Ab12Cd",          ".kest1.dat.kestrix-Ab12C",
                               ".kest1.dat.kestrix-Ab12C!", "kest1.dat.kestrix-Ab12Cd",
                               ".notes.kestrix-Ab12Cd",     "synced/.kest1.dat.kestrix-Ab12C",
                               ".temp.dat.kestrix-Ab12Cde"};
    for (const QString& name : leftovers + alike) folder.write(name, "half a file");
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("Bob"), QStringLiteral("2"))).ok());
    for (const QString& name : leftovers) EXPECT_FALSE(folder.exists(name)) << name.toStdString();
    for (const QString& name : alike) EXPECT_TRUE(folder.exists(name)) << name.toStdString();
    EXPECT_EQ(folder.read(QStringLiteral("synced/cards.dat")), lines({{"Ann", "1"}, {"Bob", "2"}}));
}

// What a refused change says when another window holds the lock.
const QRegularExpression
    kBusy(QStringLiteral("^kest1\\.dat: another Kestrix \\(process \\d+ of \\S+\\) is busy with these cards$"));

// Changes lock a hidden lock file beside the cards, made so that exactly those
// who may change the cards may open it. Whatever else stands in its place, or
// a lock file this user may not open, stops the change with its name and what
// is wrong: the change never goes on unlocked where another could collide
// with it. A user who may only read the folder cannot hold the lock, so
// cannot block every change, and one planted by a user who may not change
// the cards is refused, named.
TEST_F(Module1Test, LockFileIsHeldOnlyByWhoMayChangeTheCards)
{
    const QString lockFile = QStringLiteral(".kest1.dat.lock");
    const QByteArray cards = lines({{"Ann", "1"}});
    folder.write(kCards, cards);
    const auto said = [](const FileStatus& status) { return status.describe().toStdString(); };
    const CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("2"));

    const std::vector<std::pair<std::string, std::function<bool(const QByteArray&)>>> kinds = {
        {"symbolic link", [](const QByteArray& at) { return ::symlink("elsewhere", at.constData()) == 0; }},
        {"named pipe", [](const QByteArray& at) { return ::mkfifo(at.constData(), 0666) == 0; }},
        {"folder", [](const QByteArray& at) { return ::mkdir(at.constData(), 0777) == 0; }},
    };
    for (const auto& [kind, make] : kinds) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(make(QFile::encodeName(folder.pathOf(lockFile))));
        EXPECT_EQ(said(module.AppendCard(bob)), ".kest1.dat.lock: it is a " + kind + ", not a file");
        EXPECT_EQ(said(module.ReadCounter()), ".kest1.dat.lock: it is a " + kind + ", not a file");
        EXPECT_EQ(folder.read(kCards), cards);
        ASSERT_TRUE(QFile::remove(folder.pathOf(lockFile)) || QDir(folder.path()).rmdir(lockFile));
    }

    // Made for whoever may write the folder, and held; in a folder with the
    // sticky bit only the cards' owner may change them, and lock.
    setMode(QString(), 0775);
    ASSERT_TRUE(module.AppendCard(bob).ok());
    EXPECT_EQ(modeOf(lockFile), "0660");
    Module1 other(folder.path());
    other.lockPatience = std::chrono::milliseconds(50);
    {
        const Module1::ChangeGuard held = module.lockForChange();
        ASSERT_TRUE(held.status().ok());
        EXPECT_TRUE(kBusy.match(other.AppendCard(bob).describe()).hasMatch());
    }
    ASSERT_TRUE(QFile::remove(folder.pathOf(lockFile)));
    setMode(QString(), 01777);
    ASSERT_TRUE(module.ReadCounter().ok());
    EXPECT_EQ(modeOf(lockFile), "0600");
    setMode(QString(), 0775);

    if (::geteuid() != 0) return;
    // A reader of the folder holds whatever it can (the folder itself, as an
    // older Kestrix locked it); a change goes through all the same.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t reader = ::fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(2);
        const QByteArray at = QFile::encodeName(folder.path());
        const int fd = ::open(at.constData(), O_RDONLY | O_DIRECTORY);
        const bool held = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
        const bool lockFileShut = ::open((at + "/.kest1.dat.lock").constData(), O_RDONLY) < 0;
        const char report = held && lockFileShut ? 'y' : 'n';
        (void)::write(ready[1], &report, 1);
        ::pause();
        ::_exit(0);
    }
    char report = 0;
    ASSERT_EQ(::read(ready[0], &report, 1), 1);
    EXPECT_EQ(report, 'y') << "the reader could not lock the folder, or could open the lock file";
    EXPECT_TRUE(module.RewriteWithoutContact(QStringLiteral("Bob")).ok());
    ::kill(reader, SIGKILL);
    ::waitpid(reader, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(folder.read(kCards), cards);

    // As a run of root leaves it: a lock file only root may open.
    setMode(lockFile, 0600);
    runUnprivileged(folder.path(), [&] {
        EXPECT_EQ(said(module.RewriteWithoutContact(QStringLiteral("Ann"))),
                  ".kest1.dat.lock: " + std::string(std::strerror(EACCES)));
        EXPECT_EQ(folder.read(kCards), cards);
    });
    // One planted by a user who may not change the cards is not waited for.
    ASSERT_EQ(::chown(QFile::encodeName(folder.path()).constData(), 0, 0), 0);
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(QFile::encodeName(folder.pathOf(lockFile)).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(said(module.AppendCard(bob)),
              ".kest1.dat.lock: it belongs to nobody, who may not change these cards; ask the folder's owner to "
              "remove it");
    EXPECT_EQ(folder.read(kCards), cards);
}

// The names sync engines give the copy they keep beside a file when two
// computers changed it while apart; nothing else is taken for one.
TEST(ConflictCopies, NamesTheSyncEnginesGive)
{
    const std::vector<std::pair<const char*, const char*>> copies = {
        {"kest1.sync-conflict-20261207-105153-BRXC5PR.dat", "kest1.dat"},
        {"kest1.sync-conflict-20261207-105153.dat", "kest1.dat"},
        {"kest1 (conflicted copy 2026-12-07 105153).dat", "kest1.dat"},
        {"kest1 (laptop's conflicted copy 2026-12-07).dat", "kest1.dat"},
        {"kest1 (Ann Lee's Conflicted Copy 2026-12-07 (1)).dat", "kest1.dat"},
        {"kest1 (SFConflict ann@example.com 2026-12-07-10-51-53).dat", "kest1.dat"},
        {"kest1.dat (SFConflict ann@example.com 2026-12-07-10-51-53)", "kest1.dat"},
        {"kest1_conflict-20261207-105153.dat", "kest1.dat"},
        {"kestrec.sync-conflict-20261207-105153-BRXC5PR.rec", "kestrec.rec"},
        {"cards (conflicted copy 2026-12-07 105153).dat", "cards.dat"},
    };
    for (const auto& [copy, file] : copies) EXPECT_TRUE(isConflictCopyOf(copy, file)) << copy;
    const std::vector<std::pair<const char*, const char*>> others = {
        {"kest1.dat", "kest1.dat"},
        {"kest2.sync-conflict-20261207-105153-BRXC5PR.dat", "kest1.dat"},
        {"kest1.sync-conflict-2026127-105153.dat", "kest1.dat"},
        {"kest1.sync-conflict-20261207-105153-brxc5pr.dat", "kest1.dat"},
        {"kest1.sync-conflict-20261207-105153-BRXC5PR.rec", "kest1.dat"},
        {"kest1 (copy).dat", "kest1.dat"},
        {"kest1 (1).dat", "kest1.dat"},
        {"kest1 (conflicted copy 2026-12-07 105153).txt", "kest1.dat"},
        {"notes (conflicted copy 2026-12-07 105153).dat", "kest1.dat"},
        {".kest1.dat.kestrix-Ab12Cd", "kest1.dat"},
        {"kest1_conflict-2026-12-07.dat", "kest1.dat"},
        {"kest1.dat (conflicted copy 2026-12-07 105153)", "kest1.dat"},
        {"kest1 (my notes, not a conflicted copy).dat", "kest1.dat"},
        {"kest1 (conflicted copy of my notes).dat", "kest1.dat"},
        {"kest1 (Conflicted Copy).dat", "kest1.dat"},
        {"kest1 (SFConflict 2026-12-07-10-51-53).dat", "kest1.dat"},
    };
    for (const auto& [other, file] : others) EXPECT_FALSE(isConflictCopyOf(other, file)) << other;
}

// Two computers changed the cards while apart. Every card a copy holds and
// the card file does not is added, once (a card whose line breaks another
// program stored as lone LFs is the same card); nothing is removed, not even
// a card one side deleted; the counter takes the largest number. Merged
// copies go. Only a regular file a sync engine could have made is merged: a
// link (to a file the user may read and others may not), a pipe, a folder
// or a copy far larger than the cards stays, and is told, once a run.
TEST_F(Module1Test, ConflictCopiesAreMergedWithoutLosingACard)
{
    const auto card = [](const char* contact, const char* number) {
        return cardLine(makeCard(QLatin1String(contact), QLatin1String(number)));
    };
    const QString syncthing = QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat");
    const QString dropbox = QStringLiteral("kest1 (laptop's conflicted copy 2026-12-07).dat");
    const QString unreadable = QStringLiteral("kest1 (SFConflict ann@example.com 2026-12-07-10-51-53).dat");
    const QString notOurs = QStringLiteral("notes (conflicted copy 2026-12-07 105153).dat");
    const QString linked = QStringLiteral("kest1 (conflicted copy 2026-12-07 105153).dat");
    const QString pipe = QStringLiteral("kest1.sync-conflict-20261207-105154.dat");
    const QString huge = QStringLiteral("kest1_conflict-20261207-105153.dat");
    const QString named = QStringLiteral("kest1 (my notes, not a conflicted copy).dat");
    const QByteArray memo = "\"\",\"Max\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"one\r\ntwo\",\"4\"\r\n";
    folder.write(kCards, card("Ann", "1") + card("Bob", "2") + memo);
    folder.write(syncthing, card("Ann", "1") + card("Bob", "2") + card("Cy", "3"));
    folder.write(dropbox,
                 QByteArray(memo).replace("\r\n", "\n") + card("Dee", "3") + card("Cy", "3") + card("Dee", "3"));
    folder.makeFolder(unreadable);
    folder.write(notOurs, card("Eve", "9"));
    folder.write(named, card("Fay", "8"));
    folder.makeFolder(QStringLiteral("private"));
    folder.write(QStringLiteral("private/secret"), card("Key", "0"));
    ASSERT_TRUE(QFile::link(folder.pathOf(QStringLiteral("private/secret")), folder.pathOf(linked)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.pathOf(pipe)).constData(), 0666), 0);
    {
        QFile sparse(folder.pathOf(huge));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(6) << 30));
    }
    folder.write(kCounter, "\"7\"\r\n");
    const QString counterCopy = QStringLiteral("kestrec.sync-conflict-20261207-105153-BRXC5PR.rec");
    folder.write(counterCopy, "\"8\"\r\n");
    folder.write(QStringLiteral("kestrec (conflicted copy 2026-12-07 105153).rec"), "\"9\"\r\n");

    ASSERT_TRUE(module.MergeConflictCopies().ok());
    (void)module.CloseAllFiles();
    EXPECT_EQ(folder.read(kCards), card("Ann", "1") + card("Bob", "2") + memo + card("Dee", "3") + card("Cy", "3"));
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"9\"\r\n"));
    EXPECT_EQ(QDir(folder.path())
                  .entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)
                  .join(QLatin1Char('|'))
                  .toStdString(),
              QStringList({linked, named, unreadable, kCards, pipe, huge, kCounter, notOurs, "private"})
                  .join(QLatin1Char('|'))
                  .toStdString());
    QStringList told;
    for (const Module1::Notice& notice : module.takeNotices())
        told << QStringLiteral("%1 %2 %3 %4")
                    .arg(int(notice.kind))
                    .arg(notice.where)
                    .arg(notice.count)
                    .arg(notice.reason);
    EXPECT_EQ(told.join(QLatin1Char('\n')).toStdString(),
              QStringList({"4 " + unreadable + " 0 it is a folder, not a file",
                           "4 " + linked + " 0 it is a symbolic link, not a file",
                           "4 " + pipe + " 0 it is a named pipe, not a file",
                           "4 " + huge + " 0 it holds 6442 MB, far more than a copy of the card file (373 bytes) could",
                           "2 " + dropbox + ", " + syncthing + " 2 ", "3 9 0 "})
                  .join(QLatin1Char('\n'))
                  .toStdString());

    // Every change merges first; a copy that stays is told once a run. A
    // smaller number does not lower the counter.
    folder.write(syncthing, card("Ann", "1") + card("Fay", "10"));
    folder.write(counterCopy, "\"8\"\r\n");
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("Gus"), QStringLiteral("11"))).ok());
    EXPECT_TRUE(folder.read(kCards).endsWith(card("Cy", "3") + card("Fay", "10") + card("Gus", "11")));
    const std::vector<Module1::Notice> again = module.takeNotices();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].kind, Module1::Notice::Kind::Merged);
    EXPECT_FALSE(folder.exists(syncthing));
    EXPECT_EQ(folder.read(QStringLiteral("private/secret")), card("Key", "0"));
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"9\"\r\n"));
}

// Another computer's counter counts only when it holds a plain whole number.
// Without a number of its own the counter must not restart below the
// numbers the cards hold, and nothing tells of an empty number.
TEST_F(Module1Test, CounterCopiesCountOnlyAsPlainWholeNumbersAboveTheCards)
{
    const QString copy = QStringLiteral("kestrec.sync-conflict-20261207-105153-BRXC5PR.rec");
    folder.write(kCards, lines({{"Ann", "50"}, {"Bob", "7"}}));
    for (const QByteArray& theirs : {QByteArray("\"2\"\r\n"), QByteArray("\"\"\r\n"), QByteArray("\"abc\"\r\n"),
                                     QByteArray("\"-5\"\r\n"), QByteArray("\"1E+99\"\r\n")}) {
        SCOPED_TRACE(theirs.toStdString());
        folder.write(kCounter, QByteArray());
        folder.write(copy, theirs);
        ASSERT_TRUE(module.MergeConflictCopies().ok());
        EXPECT_FALSE(folder.exists(copy));
        EXPECT_EQ(folder.read(kCounter), QByteArray());
        EXPECT_TRUE(module.takeNotices().empty());
        QString next;
        ASSERT_TRUE(module.NextRecordNumber(next).ok());
        EXPECT_EQ(next, QStringLiteral("51"));
        (void)module.CloseAllFiles();
    }
    folder.write(copy, "\" 60 \"\r\n");
    ASSERT_TRUE(module.MergeConflictCopies().ok());
    (void)module.CloseAllFiles();
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"60\"\r\n"));
}

// In a folder shared with others, a copy is merged only when it belongs to
// this user or to the cards' owner: another's may have been put there to
// slip cards in. It stays, is told, and is never merged, so no card it
// holds comes back after a Delete.
TEST_F(Module1Test, ConflictCopiesOfOtherUsersAreLeftAlone)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to other users";
    const passwd* daemon = ::getpwnam("daemon");
    ASSERT_NE(daemon, nullptr);
    const QString copy = QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat");
    folder.write(kCards, lines({{"Ann", "1"}}));
    folder.write(copy, lines({{"Ann", "1"}, {"Mal", "2"}}));
    ASSERT_EQ(::chown(QFile::encodeName(folder.pathOf(copy)).constData(), daemon->pw_uid, daemon->pw_gid), 0);
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(QFile::encodeName(folder.pathOf(kCards)).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    setMode(QString(), 01777);
    runUnprivileged(folder.path(), [&] {
        Module1 mine(folder.path());
        for (int change = 0; change < 2; ++change) {
            ASSERT_TRUE(mine.AppendCard(makeCard(QStringLiteral("Bob"), QStringLiteral("3"))).ok());
            ASSERT_TRUE(mine.RewriteWithoutContact(QStringLiteral("Bob")).ok());
        }
        EXPECT_EQ(folder.read(kCards), lines({{"Ann", "1"}}));
        const std::vector<Module1::Notice> told = mine.takeNotices();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].reason,
                  QStringLiteral("it belongs to daemon, who owns neither kest1.dat nor this run of Kestrix: another "
                                 "user may have put it there"));
    });
    EXPECT_TRUE(folder.exists(copy));
}

// Cards brought in from elsewhere get fresh numbers, as Add issues them, and
// are stored as one change; where they cannot be stored, the counter goes
// back to what it was, so neither file changes.
TEST_F(Module1Test, AddedCardsGetFreshNumbersInOneChange)
{
    const QByteArray stored = lines({{"Ann", "7"}, {"Bob", "4"}});
    folder.write(kCards, stored);
    folder.write(kCounter, "\"41\"\r\n");
    std::vector<CardRecord> cards = {makeCard(QStringLiteral("Cy"), {}), makeCard(QStringLiteral("Dee"), {})};
    {
        FileSizeLimit limit(static_cast<rlim_t>(stored.size() + 10));
        EXPECT_FALSE(module.AddCards(cards).ok());
    }
    EXPECT_EQ(folder.read(kCards), stored);
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"41\"\r\n"));

    ASSERT_TRUE(module.AddCards(cards).ok());
    EXPECT_EQ(folder.read(kCards), stored + lines({{"Cy", "42"}, {"Dee", "43"}}));
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"43\"\r\n"));

    // Without a number in the counter, above every number a card holds.
    folder.write(kCounter, "");
    std::vector<CardRecord> more = {makeCard(QStringLiteral("Eve"), {})};
    ASSERT_TRUE(module.AddCards(more).ok());
    EXPECT_EQ(more[0][indexOf(Field::RecordNumber)], QStringLiteral("44"));
}

// A sync's changes land as one change or not at all, the new cards
// numbered as Add numbers them; a card edited since the sync saw it, or
// gone, stays as it is and is reported, and of two equal cards under one
// number a deletion takes one.
TEST_F(Module1Test, SyncChangesLandTogetherAndSpareCardsEditedSince)
{
    folder.write(kCards, lines({{"Ann", "1"}, {"Bob", "2"}, {"Cy", "3"}, {"Dee", "4"}, {"Dee", "4"}}));
    folder.write(kCounter, "\"41\"\r\n");
    const QByteArray before = folder.read(kCards);
    CardKeySet::TextKey scratch;
    const auto keyOf = [&](const char* contact) {
        return CardKeySet::keyOfText(makeCard(QLatin1String(contact), QString()), scratch);
    };
    CardRecord bob = makeCard(QStringLiteral("Bob"), QStringLiteral("99"));
    bob[indexOf(Field::CITY)] = QStringLiteral("Leeds");
    CardChanges changes;
    changes.deletions = {{QStringLiteral("1"), keyOf("Ann")},
                         {QStringLiteral("3"), keyOf("Cy before the edit")},
                         {QStringLiteral("8"), keyOf("Gone")},
                         {QStringLiteral("4"), keyOf("Dee")}};
    changes.replacements = {{QStringLiteral("2"), keyOf("Bob"), bob}, {QStringLiteral("4"), keyOf("Eve"), bob}};
    changes.additions = {makeCard(QStringLiteral("Fay"), {}), makeCard(QStringLiteral("Gus"), {})};
    CardChangesApplied applied;
    std::vector<Module1::Change> history;
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size() + 10));
        EXPECT_FALSE(module.ApplyCardChanges(changes, applied, QStringLiteral("dav")).ok());
    }
    EXPECT_EQ(folder.read(kCards), before);
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"41\"\r\n"));
    ASSERT_TRUE(module.ChangeHistory(history).ok());
    EXPECT_TRUE(history.empty());

    ASSERT_TRUE(module.ApplyCardChanges(changes, applied, QStringLiteral("dav")).ok());
    bob[indexOf(Field::RecordNumber)] = QStringLiteral("2");
    EXPECT_EQ(folder.read(kCards),
              lines({{"Cy", "3"}, {"Dee", "4"}}) + cardLine(bob) + lines({{"Fay", "42"}, {"Gus", "43"}}));
    EXPECT_EQ(applied.deletionsLeft, (std::vector<size_t>{1, 2}));
    EXPECT_EQ(applied.replacementsLeft, (std::vector<size_t>{1}));
    EXPECT_EQ(applied.numbers, (QStringList{QStringLiteral("42"), QStringLiteral("43")}));
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"43\"\r\n"));
    ASSERT_TRUE(module.ChangeHistory(history).ok());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].command, QStringLiteral("Sync"));
    EXPECT_EQ(whatChanged(history[0]), QStringLiteral("Sync with dav (3 cards)"));
    EXPECT_EQ(history[0].removed.size(), 3u);
    EXPECT_EQ(history[0].added.size(), 3u);

    // Nothing that still matches, nothing new: no change to undo.
    const QByteArray after = folder.read(kCards);
    CardChanges stale;
    stale.deletions = {{QStringLiteral("3"), keyOf("Ann")}};
    ASSERT_TRUE(module.ApplyCardChanges(stale, applied, QStringLiteral("dav")).ok());
    EXPECT_EQ(applied.deletionsLeft, (std::vector<size_t>{0}));
    EXPECT_EQ(folder.read(kCards), after);
    ASSERT_TRUE(module.ChangeHistory(history).ok());
    EXPECT_EQ(history.size(), 1u);

    // One undo takes all of it back, byte for byte; the numbers stay issued.
    Module1::Undone undone;
    ASSERT_TRUE(module.UndoLastChange(undone).ok());
    EXPECT_EQ(undone.change.command, QStringLiteral("Sync"));
    EXPECT_EQ(folder.read(kCards), before);
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"43\"\r\n"));

    changes.additions[0][indexOf(Field::MEMO)] = QStringLiteral("a \"quote\"");
    EXPECT_FALSE(module.ApplyCardChanges(changes, applied, QStringLiteral("dav")).ok());
    EXPECT_EQ(folder.read(kCards), before);
}

TEST_F(Module1Test, RewriteOfAMissingCardFileCreatesItEmpty)
{
    module.RecordNumber = QStringLiteral("17");
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("Ann")).ok());
    EXPECT_EQ(folder.read(kCards), QByteArray());
    EXPECT_EQ(folder.read(kScratch), QByteArray());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("1"));
}

TEST_F(Module1Test, ScratchFileThatCannotBeWrittenLeavesTheCardsAlone)
{
    const QByteArray cards = lines({{"Ann", "1"}, {"Bob", "2"}});
    folder.write(kCards, cards);
    folder.makeFolder(kScratch);
    const FileStatus status = module.RewriteWithoutContact(QStringLiteral("Ann"));
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.file(), kScratch);
    EXPECT_EQ(folder.read(kCards), cards);
    // No half-written sibling is left behind either.
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{kCards});
}

// Another window on the same folder holds the change lock: every change waits
// for it, gives up in time with a plain reason, and writes nothing.
TEST_F(Module1Test, ChangesWaitForAnotherWindowsLockAndGiveUpInTime)
{
    const QByteArray cards = lines({{"Ann", "1"}, {"Bob", "2"}});
    folder.write(kCards, cards);
    folder.write(kCounter, "\"2\"\r\n");
    Module1 other(folder.path());
    module.lockPatience = std::chrono::milliseconds(40);
    {
        const Module1::ChangeGuard held = other.lockForChange();
        ASSERT_TRUE(held.status().ok());
        // The holder itself may go on: its own operations take the lock again.
        ASSERT_TRUE(other.ReadCounter().ok());

        const auto start = std::chrono::steady_clock::now();
        const std::vector<FileStatus> refused = {
            module.AppendCard(makeCard(QStringLiteral("Cy"), QStringLiteral("3"))),
            module.RewriteWithoutContact(QStringLiteral("Ann")),
            module.ReplaceCard(makeCard(QStringLiteral("Ann"), QStringLiteral("1"))),
            module.ReadCounter(),
            module.WriteCounter(QStringLiteral("3")),
        };
        EXPECT_GE(std::chrono::steady_clock::now() - start, 5 * module.lockPatience);
        for (const FileStatus& status : refused) {
            EXPECT_FALSE(status.ok());
            EXPECT_TRUE(kBusy.match(status.describe()).hasMatch()) << status.describe().toStdString();
        }
        EXPECT_EQ(folder.read(kCards), cards);
        EXPECT_EQ(folder.read(kCounter), QByteArray("\"2\"\r\n"));
        EXPECT_FALSE(folder.exists(kScratch));
    }
    // Let go, the lock is free for the next change.
    ASSERT_TRUE(module.AppendCard(makeCard(QStringLiteral("Cy"), QStringLiteral("3"))).ok());
    EXPECT_EQ(folder.read(kCards), cards + lines({{"Cy", "3"}}));
}

TEST_F(Module1Test, CounterReadsTheLastItemAndIsCreatedWhenMissing)
{
    module.RecordNumber = QStringLiteral("9");
    ASSERT_TRUE(module.ReadCounter().ok());
    EXPECT_TRUE(folder.exists(kCounter));
    EXPECT_EQ(folder.read(kCounter), QByteArray());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("9"));

    folder.write(kCounter, "\"3\"\r\n\"41\"\r\n\r\n");
    ASSERT_TRUE(module.ReadCounter().ok());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("41"));
}

TEST_F(Module1Test, CounterIsOnTheDiskAtOnceAndStaysOpen)
{
    folder.write(kCounter, "\"41\"\r\n");
    ASSERT_TRUE(module.WriteCounter(QStringLiteral("42")).ok());
    EXPECT_EQ(Module1Access::slot2(module), SlotMode::Write);
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"42\"\r\n"));
    ASSERT_TRUE(module.CloseAllFiles().ok());
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"42\"\r\n"));

    folder.makeFolder(QStringLiteral("sub"));
    Module1 blocked(folder.pathOf(QStringLiteral("sub")));
    folder.makeFolder(QStringLiteral("sub/") + kCounter);
    const FileStatus status = blocked.WriteCounter(QStringLiteral("43"));
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.file(), kCounter);
}

// Bytes written to a slot that holds no file for writing go nowhere; the
// caller must hear so, or it would report them stored.
TEST_F(Module1Test, ASlotNotOpenForWritingSaysSoOnWriteAndCommit)
{
    folder.write(kCards, lines({{"Ann", "1"}}));
    FileSlot slot;
    const auto said = [](const FileStatus& status) { return status.describe().toStdString(); };
    EXPECT_EQ(said(slot.write("x")), ": the file is not open for writing") << "never opened";
    EXPECT_FALSE(slot.commitNow().ok()) << "never opened";

    ASSERT_TRUE(slot.openForReading(folder.path(), kCards).ok());
    EXPECT_EQ(said(slot.write("x")), "kest1.dat: the file is not open for writing") << "read";
    EXPECT_EQ(said(slot.commitNow()), "kest1.dat: the file is not open for writing") << "read";

    // Appended lines go in place when the slot closes, not before.
    ASSERT_TRUE(slot.openForAppending(folder.path(), kCards).ok());
    ASSERT_TRUE(slot.write("\r\n").ok());
    EXPECT_EQ(said(slot.commitNow()), "kest1.dat: the file is not open for writing") << "append";

    ASSERT_TRUE(slot.openForWriting(folder.path(), kCounter, Durability::Durable, Links::Follow).ok());
    ASSERT_TRUE(slot.write("\"2\"\r\n").ok());
    ASSERT_TRUE(slot.close().ok());
    EXPECT_EQ(said(slot.write("\"3\"\r\n")), "kestrec.rec: the file is not open for writing") << "closed";
    EXPECT_EQ(said(slot.commitNow()), "kestrec.rec: the file is not open for writing") << "closed";
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"2\"\r\n"));
    EXPECT_EQ(folder.read(kCards), lines({{"Ann", "1"}}) + "\r\n");
}

} // namespace
} // namespace kestrix::testing
