// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What the user sees when the disk is full or the wrong things stand where
// the files belong: a message naming the file, the card file as it was, and
// every typed field still on screen.
#include "windowsupport/WindowTest.h"

#include "support/FileSizeLimit.h"
#include "support/SystemCallFaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrix::testing {
namespace {

class Form4DiskTrouble : public WindowTest {
protected:
    void SetUp() override
    {
        storeCards({card("Ann", "1"), card("Bob", "2"), card("Ann", "3")});
        before = cardFile();
        open();
    }

    // The editor as the user left it: a card typed in, the lock off.
    void typeCard(const CardRecord& typed)
    {
        showCard(typed);
        form->unlockEditor();
    }

    void expectNothingLost(const CardRecord& typed)
    {
        EXPECT_EQ(cardFile(), before);
        EXPECT_EQ(form->card(), typed);
        EXPECT_FALSE(form->isLocked());
    }

    QByteArray before;
};

// Where a file's bytes lie on the disk, as far as sharing goes.
struct Extents {
    quint64 firstBlock = 0; // physical byte address of the first extent
    quint64 bytes = 0;
    quint64 sharedBytes = 0; // in extents another file also holds
    bool read = false;
};

Extents extentsOf(const QString& path)
{
    Extents extents;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return extents;
    constexpr int kMost = 1024;
    std::vector<char> buffer(sizeof(fiemap) + kMost * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kMost;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents > 0) {
        extents.read = true;
        extents.firstBlock = map->fm_extents[0].fe_physical;
        for (quint32 i = 0; i < map->fm_mapped_extents; ++i) {
            extents.bytes += map->fm_extents[i].fe_length;
            if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) extents.sharedBytes += map->fm_extents[i].fe_length;
        }
    }
    ::close(fd);
    return extents;
}

// Runs a program without its output; true when it succeeded.
bool runQuietly(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Something other than a file, standing where a file belongs.
struct NotAFile {
    const char* name; // as the messages call it
    mode_t type;
};

mode_t typeAt(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & S_IFMT;
}

// False, with errno set, where the tests may not make one (a device needs root).
bool make(const NotAFile& kind, const QString& path)
{
    const QByteArray where = QFile::encodeName(path);
    switch (kind.type) {
    case S_IFDIR:
        return ::mkdir(where.constData(), 0777) == 0;
    case S_IFIFO:
        return ::mkfifo(where.constData(), 0666) == 0;
    case S_IFCHR:
        return ::mknod(where.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0; // the null device
    case S_IFSOCK: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (static_cast<size_t>(where.size()) >= sizeof address.sun_path) return false;
        std::memcpy(address.sun_path, where.constData(), static_cast<size_t>(where.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    }
    }
    return false;
}

QStringList entriesOf(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A folder, a named pipe, a socket or a device where one of the three files
// belongs, or where the link in the card or counter file's place leads: every
// command that needs the file says which file and what stands there, and
// leaves it alone, unread, unwritten and not replaced, with no scratch file
// beside it.
TEST_F(Form4DiskTrouble, NothingButAFileIsReadOrReplaced)
{
    struct Place {
        QString file;
        QString linkedTo;     // empty: the thing stands at the file's own name
        QStringList messages; // how each message the commands show begins
    };
    const QString cards = QStringLiteral("kest1.dat");
    const QString counter = QStringLiteral("kestrec.rec");
    const QString scratch = QStringLiteral("temp.dat");
    const QStringList cardMessages = {"The card file \"kest1.dat\" could not be read", "The card was not saved.",
                                      "The card was not deleted."};
    const QStringList counterMessages = {"No new number was issued."};
    const std::vector<Place> places = {
        {cards, {}, cardMessages},
        {cards, QStringLiteral("elsewhere/cards"), cardMessages},
        {counter, {}, counterMessages},
        {counter, QStringLiteral("elsewhere/counter"), counterMessages},
        {scratch, {}, {"The card was not saved.", "The card was not deleted."}},
    };
    const QByteArray unread = "left in the pipe";
    const NotAFile kinds[] = {{"folder", S_IFDIR}, {"named pipe", S_IFIFO}, {"socket", S_IFSOCK}, {"device", S_IFCHR}};
    for (const NotAFile& kind : kinds) {
        for (const Place& place : places) {
            SCOPED_TRACE(std::string("a ") + kind.name + " at " + place.file.toStdString()
                         + (place.linkedTo.isEmpty() ? "" : " -> " + place.linkedTo.toStdString()));
            TempFolder here;
            here.makeFolder(QStringLiteral("elsewhere"));
            if (place.file != cards) here.write(cards, before);
            const QString thing = here.pathOf(place.linkedTo.isEmpty() ? place.file : place.linkedTo);
            if (!make(kind, thing)) {
                ASSERT_EQ(kind.type, S_IFCHR) << std::strerror(errno);
                std::cout << "(no device tried: " << std::strerror(errno) << ")\n";
                break;
            }
            if (!place.linkedTo.isEmpty()) {
                ASSERT_TRUE(QFile::link(place.linkedTo, here.pathOf(place.file)));
            }
            int pipe = -1;
            if (kind.type == S_IFIFO) {
                pipe = ::open(QFile::encodeName(thing).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
                ASSERT_EQ(::write(pipe, unread.constData(), static_cast<size_t>(unread.size())), unread.size());
            }
            const auto closePipe = qScopeGuard([&] {
                if (pipe >= 0) ::close(pipe);
            });

            Module1 hereModule(here.path());
            platform.shown.clear();
            form = std::make_unique<Form4>(hereModule, platform);
            const CardRecord typed = card("Bob", "2");
            typeCard(typed);
            if (place.file == counter) {
                press(form->Command4);
            } else {
                platform.answers = {MessageAnswer::Yes};
                press(form->Command1);
                press(form->Command2);
                EXPECT_EQ(form->card(), typed);
            }
            form.reset();

            QStringList texts = shownTexts();
            texts.removeAll(QStringLiteral("Do You wish to update?"));
            ASSERT_EQ(texts.size(), place.messages.size()) << texts.join(QStringLiteral(" | ")).toStdString();
            const QString named = QStringLiteral("\"%1\"").arg(place.file);
            const QString reason = QStringLiteral("it is a %1, not a file").arg(QLatin1String(kind.name));
            for (qsizetype i = 0; i < texts.size(); ++i) {
                EXPECT_TRUE(texts[i].startsWith(place.messages[i])) << texts[i].toStdString();
                EXPECT_TRUE(texts[i].contains(named) && texts[i].contains(reason)) << texts[i].toStdString();
            }
            EXPECT_EQ(typeAt(thing), kind.type) << "still there";
            if (!place.linkedTo.isEmpty()) {
                EXPECT_EQ(typeAt(here.pathOf(place.file)), S_IFLNK);
            }
            if (pipe >= 0) {
                QByteArray left(2 * unread.size(), '\0');
                left.resize(std::max<ssize_t>(0, ::read(pipe, left.data(), static_cast<size_t>(left.size()))));
                EXPECT_EQ(left, unread) << "nothing read from the pipe, nothing written to it";
            }
            if (place.file != cards) {
                EXPECT_EQ(here.read(cards), before);
            }
            QStringList expected = {QStringLiteral("elsewhere"), cards, place.file};
            expected.removeDuplicates();
            expected.sort();
            EXPECT_EQ(entriesOf(here.path()), expected) << "no scratch file left";
            EXPECT_EQ(entriesOf(here.pathOf(QStringLiteral("elsewhere"))),
                      place.linkedTo.isEmpty() ? QStringList()
                                               : QStringList{place.linkedTo.section(QLatin1Char('/'), 1)});
        }
    }
}

TEST_F(Form4DiskTrouble, ScratchFileThatIsALinkIsReplacedNotWrittenThrough)
{
    folder.write(QStringLiteral("victim.txt"), "keep me\n");
    ASSERT_TRUE(QFile::link(folder.pathOf(QStringLiteral("victim.txt")), folder.pathOf(QStringLiteral("temp.dat"))));
    typeCard(card("Ann", "3"));
    press(form->Command2);
    EXPECT_EQ(folder.read(QStringLiteral("victim.txt")), QByteArray("keep me\n"));
    EXPECT_FALSE(QFileInfo(folder.pathOf(QStringLiteral("temp.dat"))).isSymLink());
    EXPECT_EQ(folder.read(QStringLiteral("temp.dat")), cardLine(card("Bob", "2")));
    EXPECT_EQ(cardFile(), cardLine(card("Bob", "2")));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 3) << "no temporary file left behind";
}

TEST_F(Form4DiskTrouble, WorkingFolderRemovedWhileRunning)
{
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    const CardRecord typed = card("Cy", "4");
    typeCard(typed);
    press(form->Command1);
    press(form->Command2);
    press(form->Command4);
    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("\"kest1.dat\": its folder does not exist")));
    EXPECT_TRUE(texts[1].startsWith(QStringLiteral("The card was not deleted.")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("\"kestrec.rec\"")));
    EXPECT_FALSE(QFileInfo::exists(folder.path()));
}

TEST_F(Form4DiskTrouble, CardFileRemovedWhileRunningStartsAnew)
{
    QFile::remove(folder.pathOf(QStringLiteral("kest1.dat")));
    typeCard(card("Cy", "4"));
    press(form->Command1);
    EXPECT_EQ(shownTexts(), QStringList{"record saved"});
    EXPECT_EQ(cardFile(), cardLine(card("Cy", "4")));
}

// A counter made read-only stops Add from recording the number, and Add says
// so; that the card can still be saved it says only while a Save could go
// through. Root is held to the read-only mode like anyone else.
TEST_F(Form4DiskTrouble, ReadOnlyCounterIsToldTruly)
{
    folder.write(QStringLiteral("kestrec.rec"), "\"41\"\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(folder.pathOf(QStringLiteral("kestrec.rec"))).constData(), 0444), 0);
    press(form->Command4);
    ASSERT_TRUE(QFile::setPermissions(folder.pathOf(QStringLiteral("kest1.dat")), QFile::ReadOwner));
    press(form->Command4);
    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 2);
    for (const QString& text : texts) {
        EXPECT_TRUE(text.startsWith(QStringLiteral("The record counter could not be updated.")));
        EXPECT_TRUE(
            text.contains(QStringLiteral("\"kestrec.rec\": %1").arg(QString::fromLocal8Bit(std::strerror(EACCES)))));
    }
    EXPECT_TRUE(texts[0].contains(QStringLiteral("This card can still be saved.")));
    EXPECT_FALSE(texts[1].contains(QStringLiteral("can still be saved"))) << "the card file is read-only too";
    EXPECT_EQ(folder.read(QStringLiteral("kestrec.rec")), QByteArray("\"41\"\r\n"));
}

// The card file has another name (a hard link), which a change leaves with
// the old cards: the user hears it at the first change, once.
TEST_F(Form4DiskTrouble, OtherNamesOfTheCardFileAreToldOnce)
{
    ASSERT_EQ(::link(QFile::encodeName(folder.pathOf(QStringLiteral("kest1.dat"))).constData(),
                     QFile::encodeName(folder.pathOf(QStringLiteral("backup.dat"))).constData()),
              0);
    typeCard(card("Cy", "4"));
    press(form->Command1);
    typeCard(card("Dee", "5"));
    press(form->Command1);
    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], QStringLiteral("record saved"));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("has 1 other name(s) (hard links)"))) << texts[1].toStdString();
    EXPECT_EQ(texts[2], QStringLiteral("record saved"));
    EXPECT_EQ(folder.read(QStringLiteral("backup.dat")), before);
}

// On a file system that holds no locks, Kestrix goes on without one, as a
// single window always could, and says once what that means. It removes no
// copy a killed change seems to have left: unlocked, it could be a live one.
TEST_F(Form4DiskTrouble, WithoutLocksTheUserIsToldOnce)
{
    folder.write(QStringLiteral(".kest1.dat.kestrix-Ab12Cd"), "another window's change");
    SystemCallFaults::failEvery(Call::Flock, ENOLCK);
    const auto stop = qScopeGuard([] { SystemCallFaults::stop(); });
    typeCard(card("Cy", "4"));
    press(form->Command1);
    press(form->Command2);
    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], QStringLiteral("record saved"));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("cannot lock files"))) << texts[1].toStdString();
    EXPECT_EQ(texts[2], QStringLiteral("record deleted"));
    EXPECT_TRUE(folder.exists(QStringLiteral(".kest1.dat.kestrix-Ab12Cd")));
}

// Every size limit from well below to just above what the change needs: the
// change happens whole or not at all, and the user hears which.
TEST_F(Form4DiskTrouble, FullDiskAtEveryByteAroundTheWrite)
{
    const CardRecord edited = card("Bob", "2");
    const QByteArray kept = cardLine(card("Ann", "1")) + cardLine(card("Ann", "3"));
    struct Case {
        const char* name;
        CardRecord typed;
        std::vector<MessageAnswer> answers;
        QToolButton* Form4::*button;
        QByteArray after;
        QString message;
    };
    const std::vector<Case> cases = {
        {"append", card("Cy", "4"), {}, &Form4::Command1, before + cardLine(card("Cy", "4")), "record saved"},
        {"replace", edited, {MessageAnswer::Yes}, &Form4::Command1, kept + cardLine(edited), "record saved"},
        {"delete", card("Bob", "9"), {}, &Form4::Command2, kept, "record deleted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int failures = 0;
        const qsizetype needed = c.after.size();
        for (qsizetype limit = needed - cardLine(c.typed).size() - 2; limit <= needed + 1; ++limit) {
            folder.write(QStringLiteral("kest1.dat"), before);
            // Each change's record starts a history file of its own here, so
            // the limit weighs it as it does the card file.
            for (const QString& name :
                 QDir(folder.path()).entryList({QStringLiteral(".kest1.dat.history-*")}, QDir::Files | QDir::Hidden))
                QFile::remove(folder.pathOf(name));
            platform.shown.clear();
            platform.answers.assign(c.answers.begin(), c.answers.end());
            typeCard(c.typed);
            {
                FileSizeLimit sizeLimit(static_cast<rlim_t>(limit));
                press((*form).*c.button);
            }
            const bool changed = cardFile() == c.after;
            ASSERT_TRUE(changed || cardFile() == before) << "limit " << limit;
            ASSERT_FALSE(platform.shown.empty());
            if (changed) {
                EXPECT_EQ(platform.shown.back().text, c.message);
                continue;
            }
            ++failures;
            EXPECT_TRUE(platform.shown.back().text.contains(QStringLiteral("File too large")));
            const QString& text = platform.shown.back().text;
            // The change's record can need more room than the cards do.
            const bool record = text.contains(QStringLiteral("\".kest1.dat.history-"));
            EXPECT_TRUE(limit < c.after.size() || record) << "limit " << limit;
            EXPECT_TRUE(text.contains(QStringLiteral("\"kest1.dat\"")) || text.contains(QStringLiteral("\"temp.dat\""))
                        || record);
            expectNothingLost(c.typed);
        }
        EXPECT_GT(failures, 0);
    }

    for (rlim_t limit = 0; limit <= 6; ++limit) {
        folder.write(QStringLiteral("kestrec.rec"), "\"40\"\r\n");
        platform.shown.clear();
        {
            FileSizeLimit sizeLimit(limit);
            press(form->Command4);
        }
        const QByteArray counter = folder.read(QStringLiteral("kestrec.rec"));
        EXPECT_TRUE(counter == "\"40\"\r\n" || counter == "\"41\"\r\n") << limit;
        EXPECT_EQ(platform.shown.empty(), counter == "\"41\"\r\n") << limit;
        EXPECT_EQ(form->fieldText(Field::RecordNumber), QStringLiteral("41"));
    }
}

// A real file system that runs out of room (mounting one needs root).
TEST_F(Form4DiskTrouble, TinyFileSystemRunsFull)
{
    TempFolder mountPoint;
    if (::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(mountPoint.path()).constData()); });
    Module1 tinyModule(mountPoint.path());
    QByteArray cards;
    for (int i = 0; cards.size() < 36 * 1024; ++i)
        cards += cardLine(makeCard(QStringLiteral("C%1").arg(i), QString::number(i)));
    // Whole pages, so one more line needs a page of its own.
    CardRecord last = makeCard(QStringLiteral("Last"), QStringLiteral("0"));
    const qsizetype frame = cardLine(last).size() - last[indexOf(Field::MEMO)].size();
    last[indexOf(Field::MEMO)] = QString(40 * 1024 - cards.size() - frame, QLatin1Char('m'));
    cards += cardLine(last);
    ASSERT_EQ(cards.size(), 40 * 1024);
    mountPoint.write(QStringLiteral("kest1.dat"), cards);
    {
        Form4 editor(tinyModule, platform);
        const CardRecord typed = makeCard(QStringLiteral("C1"), QStringLiteral("new"));
        editor.showCard(typed);
        editor.unlockEditor();
        press(editor.Command2); // a rewrite needs room for two more copies
        // Fill what is left but less than one card line.
        QFile filler(mountPoint.pathOf(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(64, 'x')) == 64 && filler.flush()) {}
        filler.close();
        press(editor.Command1);
        EXPECT_EQ(editor.card(), typed);
        press(editor.Command4);
        const QStringList texts = [&] {
            QStringList t;
            for (const auto& m : platform.shown) t << m.text;
            return t;
        }();
        ASSERT_EQ(texts.size(), 3);
        EXPECT_TRUE(texts[0].startsWith(QStringLiteral("The card was not deleted.")));
        EXPECT_TRUE(texts[1].startsWith(QStringLiteral("The card was not saved.")));
        EXPECT_TRUE(texts[2].startsWith(QStringLiteral("The record counter could not be updated.")));
        for (const QString& text : texts) {
            EXPECT_TRUE(text.contains(QStringLiteral("No space left on device"))) << text.toStdString();
            // A full disk stays full: no advice to try again, no promise a Save would get through.
            EXPECT_FALSE(text.contains(QStringLiteral("try again"), Qt::CaseInsensitive)) << text.toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("can still be saved"))) << text.toStdString();
        }
        EXPECT_EQ(mountPoint.read(QStringLiteral("kest1.dat")), cards);
    }
}

// Where the file system shares blocks between files, a new card file shares
// the old one's blocks (and a rewrite's, the scratch file's), whichever call
// of the kernel shares them, so a change needs room for one copy of the cards
// at most. Loop-mounting a Btrfs image needs root and mkfs.btrfs.
TEST_F(Form4DiskTrouble, ChangesShareBlocksWhereTheFileSystemCan)
{
    TempFolder place;
    const QString image = place.pathOf(QStringLiteral("btrfs.img"));
    place.makeFolder(QStringLiteral("disk"));
    const QString disk = place.pathOf(QStringLiteral("disk"));
    QFile imageFile(image);
    ASSERT_TRUE(imageFile.open(QIODevice::WriteOnly) && imageFile.resize(256 * 1024 * 1024));
    imageFile.close();
    if (::geteuid() != 0 || !runQuietly(QStringLiteral("mkfs.btrfs"), {QStringLiteral("-q"), image})
        || !runQuietly(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image, disk}))
        GTEST_SKIP() << "cannot mount a Btrfs image here (needs root and mkfs.btrfs)";
    const auto unmount = qScopeGuard([&] { runQuietly(QStringLiteral("umount"), {disk}); });

    QByteArray cards;
    for (int i = 0; cards.size() < 2 * 1024 * 1024; ++i)
        cards += cardLine(makeCard(QStringLiteral("C%1").arg(i), QString::number(i)));
    cards += cardLine(card("Ann", "a"));
    QFile cardFile(disk + QStringLiteral("/kest1.dat"));
    ASSERT_TRUE(cardFile.open(QIODevice::WriteOnly) && cardFile.write(cards) == cards.size());
    cardFile.close();
    const Extents stored = extentsOf(cardFile.fileName());
    ASSERT_TRUE(stored.read);

    Module1 diskModule(disk);
    Form4 editor(diskModule, platform);
    const auto typeCard = [&editor](const CardRecord& typed) {
        editor.showCard(typed);
        editor.unlockEditor();
    };
    typeCard(card("New", "new"));
    press(editor.Command1);
    ASSERT_EQ(platform.shown.back().text, QStringLiteral("record saved"));
    // The new card file lies where the old one lay: nothing was copied.
    EXPECT_EQ(extentsOf(cardFile.fileName()).firstBlock, stored.firstBlock);

    typeCard(card("Ann", "a"));
    press(editor.Command2);
    ASSERT_EQ(platform.shown.back().text, QStringLiteral("record deleted"));
    const Extents rewritten = extentsOf(cardFile.fileName());
    EXPECT_GE(rewritten.bytes, quint64(cards.size()) - 4096);
    EXPECT_EQ(rewritten.sharedBytes, rewritten.bytes) << "the new card file is a copy of the scratch file";
    EXPECT_EQ(extentsOf(disk + QStringLiteral("/temp.dat")).sharedBytes, rewritten.bytes);
}

} // namespace
} // namespace kestrix::testing
