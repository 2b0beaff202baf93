// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "files/AtomicFile.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrix::testing {

// What must be on the disk before a change can be seen (its record) is
// written in the step before the new file is put in place: that step is
// told the version that will stand, and its failure leaves the old file.
TEST(AtomicFile, StepBeforePlacingSeesTheNewVersionAndCanStopIt)
{
    TempFolder folder;
    folder.write(QStringLiteral("cards"), "old\r\n");
    std::optional<posix::FileVersion> told;
    {
        AtomicFile file(folder.path(), QStringLiteral("cards"), Durability::Durable);
        file.setBeforePlacing([&](const posix::FileVersion& placed) {
            EXPECT_EQ(folder.read(QStringLiteral("cards")), "old\r\n");
            told = placed;
            return FileStatus::success();
        });
        ASSERT_TRUE(file.open().ok());
        ASSERT_TRUE(file.write("new\r\n").ok());
        ASSERT_TRUE(file.close().ok());
    }
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.pathOf(QStringLiteral("cards"))).constData(), &info), 0);
    ASSERT_TRUE(told);
    EXPECT_EQ(*told, posix::FileVersion::of(info));

    {
        AtomicFile file(folder.path(), QStringLiteral("cards"), Durability::Durable);
        file.setBeforePlacing([](const posix::FileVersion&) {
            return FileStatus::failure(QStringLiteral("record"), QStringLiteral("disk full"));
        });
        ASSERT_TRUE(file.open().ok());
        ASSERT_TRUE(file.write("newer\r\n").ok());
        EXPECT_FALSE(file.close().ok());
    }
    EXPECT_EQ(folder.read(QStringLiteral("cards")), "new\r\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("cards")});
}

} // namespace kestrix::testing
