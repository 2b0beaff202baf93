// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "files/FileStatus.h"
#include "files/PosixFile.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace kestrix::testing {

// A name in a message never hides a byte: what is not UTF-8 shows as \xNN,
// so two files whose names differ only there are told apart.
TEST(FileNames, MessagesShowEveryByteOfAName)
{
    EXPECT_EQ(posix::displayNameOf("Caf\xC3\xA9.dat"), QStringLiteral("Café.dat"));
    EXPECT_EQ(posix::displayNameOf("Caf\xE9.dat"), QStringLiteral("Caf\\xE9.dat"));
    // A sequence cut short, an overlong form and a surrogate are not UTF-8.
    EXPECT_EQ(posix::displayNameOf("a\xC3"), QStringLiteral("a\\xC3"));
    EXPECT_EQ(posix::displayNameOf("\xC0\xAF"), QStringLiteral("\\xC0\\xAF"));
    EXPECT_EQ(posix::displayNameOf("\xED\xA0\x80"), QStringLiteral("\\xED\\xA0\\x80"));
}

// The copies a killed change leaves are removed by the next change: only a
// name the system made from the file's own template may count as one, never
// a file a user or a sync engine named alike.
TEST(FileNames, OnlyKestrixsOwnCopiesCountAsLeftOver)
{
    TempFolder folder;
    const QByteArray cards = QFile::encodeName(folder.pathOf(QStringLiteral("kest1.dat")));
    QByteArray made = posix::copyTemplateFor(cards);
    const int fd = ::mkostemp(made.data(), 0);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(posix::folderOf(made), posix::folderOf(cards));
    EXPECT_TRUE(posix::isLeftoverCopyOf(posix::baseNameOf(made), "kest1.dat")) << made.constData();
    EXPECT_FALSE(posix::isLeftoverCopyOf(posix::baseNameOf(made), "kest1.da"));
    EXPECT_FALSE(posix::isLeftoverCopyOf(posix::baseNameOf(made), "kestrec.rec"));

    for (const char* name : {"kest1.dat", ".kest1.dat", "kest1.dat.kestrix-abc123", ".kest1.dat.kestrix-abc12",
                             ".kest1.dat.kestrix-abc1234", ".kest1.dat.kestrix-abc.12", ".kest1.dat.kestrix-abc12~",
                             ".kest1.dat.bak.kestrix-abc123", ".kest1.dat.sync-conflict-20260101-120000-ABCDEFG"})
        EXPECT_FALSE(posix::isLeftoverCopyOf(name, "kest1.dat")) << name;
}

TEST(FileNames, FolderAndNameOfAPath)
{
    EXPECT_EQ(posix::folderOf("kest1.dat"), ".");
    EXPECT_EQ(posix::folderOf("/kest1.dat"), "/");
    EXPECT_EQ(posix::folderOf("a/b/kest1.dat"), "a/b");
    EXPECT_EQ(posix::baseNameOf("a/b/kest1.dat"), "kest1.dat");
    EXPECT_EQ(posix::baseNameOf("kest1.dat"), "kest1.dat");
}

} // namespace kestrix::testing
