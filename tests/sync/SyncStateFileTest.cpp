// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "sync/SyncStateFile.h"
#include "support/SystemCallFaults.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

const QString kState = QStringLiteral(".kest1.dat.sync-ann_desk-3f2a9c1e");

// Texts that a careless format would split, merge or change.
SyncState awkwardState()
{
    SyncState state;
    state.addressBook = QStringLiteral("https://dav.example/Ann Smith/kontakte ü/");
    state.server = QStringLiteral("dav.example:8443/~ann");
    state.user = QStringLiteral("ann smith@example.org");
    state.syncToken = QStringLiteral("http://sabre.io/ns/sync/42 %20 -");
    state.cards.push_back(SyncedCard{QStringLiteral("12"), QStringLiteral("/book/a b%2F.vcf"),
                                     QStringLiteral("\"3-x\""), QStringLiteral("-"), CardKey{0, ~0ull}});
    state.cards.push_back(SyncedCard{QString(), QStringLiteral("/book/\u00e9\u6f22\U0001F600\n.vcf"),
                                     QStringLiteral("W/\"e\""), QString(), CardKey{0x0123456789abcdefull, 1}});
    state.cards.push_back(SyncedCard{QStringLiteral(" 7 "), QStringLiteral("-"), QString(),
                                     QStringLiteral("uid with spaces\tand tab"), CardKey{}});
    return state;
}

SyncState smallState(const char* token)
{
    SyncState state;
    state.addressBook = QStringLiteral("https://dav.example/book/");
    state.syncToken = QLatin1String(token);
    state.cards.push_back(SyncedCard{QStringLiteral("1"), QStringLiteral("/1.vcf"), QStringLiteral("e1"),
                                     QStringLiteral("u1"), CardKey{1, 2}});
    return state;
}

// Whatever the texts, the file gives back exactly what was saved; a
// missing file is told from an empty state.
TEST(SyncStateFile, ReadsBackExactlyWhatWasSaved)
{
    TempFolder folder;
    SyncState read = smallState("left over");
    const FileStatus missing = loadSyncState(folder.path(), kState, read);
    EXPECT_TRUE(missing.isMissing());
    EXPECT_EQ(read, SyncState{});

    for (const SyncState& saved : {awkwardState(), SyncState{}, smallState("t")}) {
        ASSERT_TRUE(saveSyncState(folder.path(), kState, saved).ok());
        const FileStatus loaded = loadSyncState(folder.path(), kState, read);
        ASSERT_TRUE(loaded.ok()) << loaded.describe().toStdString();
        EXPECT_EQ(read, saved);
        EXPECT_EQ(folder.read(kState), encodeSyncState(saved));
    }
    // Each line is plain text, whatever the card texts hold.
    for (const QByteArray& line : encodeSyncState(awkwardState()).split('\n'))
        for (const char c : line) EXPECT_TRUE(c >= ' ' && c < 127) << line.toStdString();
}

// A damaged file is a failure with a reason, never an empty state: every
// file cut short, and lines that are not what the program writes.
TEST(SyncStateFile, ADamagedFileIsReportedNotReadAsEmpty)
{
    TempFolder folder;
    const QByteArray whole = encodeSyncState(awkwardState());
    std::vector<QByteArray> damaged;
    for (qsizetype length = 0; length < whole.size(); ++length) damaged.push_back(whole.left(length));
    const QByteArray good = encodeSyncState(smallState("t"));
    const auto replaced = [&good](const char* from, const char* to) { return QByteArray(good).replace(from, to); };
    damaged.push_back(replaced("kestrix-sync-state 1", "kestrix-sync-state 2"));
    damaged.push_back(replaced("kestrix-sync-state 1", "BEGIN:VCARD"));
    damaged.push_back(replaced("0000000000000001", "000000000000000g"));
    damaged.push_back(replaced("0000000000000001", "00000000000001"));
    damaged.push_back(replaced("e1 u1", "e1%zz u1"));
    damaged.push_back(replaced("u1", "%75%31")); // "u1", but not as written
    damaged.push_back(replaced("u1", "%FF"));    // no UTF-8
    damaged.push_back(replaced("u1", "u1 extra"));
    damaged.push_back(replaced("\n", "\r\n"));
    damaged.push_back(replaced("end 1", "end 2"));
    damaged.push_back(replaced("end 1\n", "end 1\ncard 1 -\n"));
    damaged.push_back(good + good);
    QByteArray twice = good;
    const qsizetype cardLine = twice.indexOf("card ");
    twice.insert(cardLine, twice.mid(cardLine, twice.indexOf('\n', cardLine) + 1 - cardLine));
    damaged.push_back(twice.replace("end 1", "end 2")); // one href, two cards

    for (const QByteArray& bytes : damaged) {
        folder.write(kState, bytes);
        SyncState read = smallState("stale");
        const FileStatus loaded = loadSyncState(folder.path(), kState, read);
        EXPECT_FALSE(loaded.ok() || loaded.isMissing()) << bytes.toStdString();
        EXPECT_TRUE(loaded.reason().startsWith(QStringLiteral("it is damaged"))) << loaded.describe().toStdString();
        EXPECT_EQ(read, SyncState{}) << bytes.toStdString();
    }
}

// A save that fails at any system call before the new file is renamed into
// place leaves the old file whole and says so; after that, the new one is
// whole. Either reads back.
TEST(SyncStateFile, AFailedSaveLeavesTheOldFile)
{
    TempFolder folder;
    const SyncState after = awkwardState();
    ASSERT_TRUE(saveSyncState(folder.path(), kState, smallState("before")).ok());
    const QByteArray old = folder.read(kState);
    SystemCallFaults::start(0, 0);
    const bool clean = saveSyncState(folder.path(), kState, after).ok();
    SystemCallFaults::stop();
    ASSERT_TRUE(clean);
    const std::vector<Call> calls = SystemCallFaults::calls();
    const auto rename = std::find(calls.begin(), calls.end(), Call::Rename);
    ASSERT_NE(rename, calls.end());
    const long renameAt = long(rename - calls.begin()) + 1;

    for (long n = 1; n <= long(calls.size()); ++n) {
        SCOPED_TRACE(::testing::Message() << "call " << n << ", " << nameOf(calls[n - 1]));
        folder.write(kState, old);
        SystemCallFaults::start(n, EIO);
        const FileStatus saved = saveSyncState(folder.path(), kState, after);
        SystemCallFaults::stop();
        const bool placed = saved.ok() || n > renameAt;
        EXPECT_EQ(folder.read(kState), placed ? encodeSyncState(after) : old);
        SyncState read;
        EXPECT_TRUE(loadSyncState(folder.path(), kState, read).ok());
        EXPECT_EQ(read, placed ? after : smallState("before"));
    }
}

// In a folder others may write, the state is this user's or the folder
// owner's, and not through a link: a planted one is refused on reading and
// replaced, never written through, on saving.
TEST(SyncStateFile, APlantedLinkOrAnotherUsersFileIsRefused)
{
    TempFolder folder;
    folder.makeFolder(QStringLiteral("elsewhere"));
    const QString target = folder.pathOf(QStringLiteral("elsewhere/planted"));
    const QByteArray planted = encodeSyncState(smallState("planted"));
    folder.write(QStringLiteral("elsewhere/planted"), planted);
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(folder.pathOf(kState)).constData()),
              0);

    SyncState read;
    const FileStatus loaded = loadSyncState(folder.path(), kState, read);
    EXPECT_FALSE(loaded.ok() || loaded.isMissing());
    EXPECT_EQ(read, SyncState{});

    ASSERT_TRUE(saveSyncState(folder.path(), kState, smallState("mine")).ok());
    EXPECT_FALSE(QFileInfo(folder.pathOf(kState)).isSymLink());
    EXPECT_EQ(folder.read(QStringLiteral("elsewhere/planted")), planted);
    ASSERT_TRUE(loadSyncState(folder.path(), kState, read).ok());
    EXPECT_EQ(read, smallState("mine"));

    // Only root can give a file away; the folder stays root's.
    if (::geteuid() != 0) return;
    const QByteArray path = QFile::encodeName(folder.pathOf(kState));
    ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
    const FileStatus foreign = loadSyncState(folder.path(), kState, read);
    EXPECT_FALSE(foreign.ok() || foreign.isMissing());
    EXPECT_EQ(foreign.reason(), QStringLiteral("it belongs to another user"));
    EXPECT_EQ(read, SyncState{});
}

} // namespace
