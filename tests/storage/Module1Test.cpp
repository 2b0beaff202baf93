// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The card file operations on real files in a scratch working directory.
#include "storage/Module1.h"
#include "storage/CardLine.h"
#include "storage/ConflictCopies.h"
#include "support/CardFiles.h"
#include "support/FileSizeLimit.h"
#include "support/Module1Access.h"
#include "support/SystemCallFaults.h"
#include "support/TempFolder.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
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
    EXPECT_EQ(Module1Access::slot1(module), FileSlot::Mode::Read);
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
    EXPECT_EQ(Module1Access::slot1(module), FileSlot::Mode::Closed);
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
    EXPECT_EQ(Module1Access::slot1(module), FileSlot::Mode::Closed);

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
    EXPECT_EQ(Module1Access::slot1(module), FileSlot::Mode::Closed);
    EXPECT_EQ(Module1Access::slot2(module), FileSlot::Mode::Closed);

    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("B")).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("a")).ok());
    ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("C")).ok());
    EXPECT_EQ(folder.read(kCards), QByteArray());
    EXPECT_EQ(folder.read(kScratch), QByteArray());
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
            ASSERT_TRUE(module.RewriteWithoutContact(QStringLiteral("Ann")).ok());
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

// Where a folder cannot be locked (on a network file system), a lock file in
// it stands in. Whatever else stands in the lock file's place, or a lock file
// this user may not open, stops the change with its name and what is wrong:
// the change never goes on unlocked where another could collide with it.
TEST_F(Module1Test, LockFileStandsInWhereTheFolderCannotBeLocked)
{
    SystemCallFaults::failFolderLocks();
    const auto stop = qScopeGuard([] { SystemCallFaults::stop(); });
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

    // A plain lock file is made, for whoever may write the folder, and held.
    setMode(QString(), 0775);
    ASSERT_TRUE(module.AppendCard(bob).ok());
    EXPECT_EQ(modeOf(lockFile), "0660");
    Module1 other(folder.path());
    other.lockPatience = std::chrono::milliseconds(50);
    {
        const Module1::ChangeGuard held = module.lockForChange();
        ASSERT_TRUE(held.status().ok());
        EXPECT_EQ(said(other.AppendCard(bob)), "kest1.dat: another Kestrix is busy with these cards");
    }

    // As a run of root leaves it: a lock file only root may open.
    if (::geteuid() != 0) return;
    setMode(lockFile, 0600);
    runUnprivileged(folder.path(), [&] {
        EXPECT_EQ(said(module.RewriteWithoutContact(QStringLiteral("Ann"))),
                  ".kest1.dat.lock: " + std::string(std::strerror(EACCES)));
        EXPECT_EQ(folder.read(kCards), cards + cardLine(bob));
    });
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
    };
    for (const auto& [other, file] : others) EXPECT_FALSE(isConflictCopyOf(other, file)) << other;
}

// Two computers changed the cards while apart. Every card a copy holds and
// the card file does not is added, once; nothing is removed, not even a card
// one side deleted; the counter takes the largest number. Merged copies go,
// a copy that cannot be read stays and is told, others' files stay.
TEST_F(Module1Test, ConflictCopiesAreMergedWithoutLosingACard)
{
    const auto card = [](const char* contact, const char* number) {
        return cardLine(makeCard(QLatin1String(contact), QLatin1String(number)));
    };
    const QString syncthing = QStringLiteral("kest1.sync-conflict-20261207-105153-BRXC5PR.dat");
    const QString dropbox = QStringLiteral("kest1 (laptop's conflicted copy 2026-12-07).dat");
    const QString unreadable = QStringLiteral("kest1 (SFConflict ann@example.com 2026-12-07-10-51-53).dat");
    const QString notOurs = QStringLiteral("notes (conflicted copy 2026-12-07 105153).dat");
    folder.write(kCards, card("Ann", "1") + card("Bob", "2"));
    folder.write(syncthing, card("Ann", "1") + card("Bob", "2") + card("Cy", "3"));
    folder.write(dropbox, card("Ann", "1") + card("Dee", "3") + card("Cy", "3") + card("Dee", "3"));
    folder.makeFolder(unreadable);
    folder.write(notOurs, card("Eve", "9"));
    folder.write(kCounter, "\"7\"\r\n");
    const QString counterCopy = QStringLiteral("kestrec.sync-conflict-20261207-105153-BRXC5PR.rec");
    folder.write(counterCopy, "\"8\"\r\n");
    folder.write(QStringLiteral("kestrec (conflicted copy 2026-12-07 105153).rec"), "\"9\"\r\n");

    ASSERT_TRUE(module.MergeConflictCopies().ok());
    (void)module.CloseAllFiles();
    EXPECT_EQ(folder.read(kCards), card("Ann", "1") + card("Bob", "2") + card("Dee", "3") + card("Cy", "3"));
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"9\"\r\n"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({unreadable, kCards, kCounter, notOurs}));
    QStringList told;
    for (const Module1::Notice& notice : module.takeNotices())
        told << QStringLiteral("%1 %2 %3 %4")
                    .arg(int(notice.kind))
                    .arg(notice.where)
                    .arg(notice.count)
                    .arg(notice.reason);
    EXPECT_EQ(told,
              QStringList({"4 " + unreadable + " 0 it is a folder, not a file",
                           "2 " + dropbox + ", " + syncthing + " 2 ", "3 9 0 "}));

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
    EXPECT_EQ(folder.read(kCounter), QByteArray("\"9\"\r\n"));
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
            EXPECT_EQ(status.describe(), QStringLiteral("kest1.dat: another Kestrix is busy with these cards"));
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
    EXPECT_EQ(Module1Access::slot2(module), FileSlot::Mode::Write);
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
