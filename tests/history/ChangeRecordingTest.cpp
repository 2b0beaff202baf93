// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/ChangeRecording.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace kestrix::testing {

// A change's record reaches the history file whole, ended in the step
// before the change is placed; a change abandoned midway, even after a
// large part of its record was written, leaves no record that counts.
TEST(ChangeRecording, EndedRecordsCountAndAbandonedOnesDoNot)
{
    TempFolder folder, state;
    ChangeRecording recording(folder.path(), state.path());
    const QByteArray big(300 * 1024, 'x'); // more than one stretch, so part of it is written before the end

    ASSERT_TRUE(recording.begin(QStringLiteral("Import"), QStringLiteral("phone.vcf"), std::nullopt).ok());
    ASSERT_TRUE(recording.added(0, big).ok());
    recording.abandon();

    const posix::FileVersion before{1, 10, 7, 0, 0}, after{1, 11, 0, 0, 0};
    const FileStatus begun = recording.begin(QStringLiteral("Delete"), QStringLiteral("Ann"), before);
    ASSERT_TRUE(begun.ok()) << begun.describe().toStdString();
    ASSERT_TRUE(recording.removed(0, "\"Ann\"\r\n").ok());
    ASSERT_TRUE(recording.finish(after).ok());
    EXPECT_FALSE(recording.active());

    std::vector<QString> names;
    ASSERT_TRUE(historyFilesIn(folder.path(), names).ok());
    ASSERT_EQ(names.size(), 1u);
    std::vector<ChangeRecord> records;
    qsizetype damaged = 0;
    ASSERT_TRUE(readHistory(folder.path(), names[0], records, damaged).ok());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(damaged, 1); // the abandoned import's start
    const ChangeRecord& deleted = records[0];
    EXPECT_EQ(deleted.command, QStringLiteral("Delete"));
    EXPECT_EQ(deleted.subject, QStringLiteral("Ann"));
    EXPECT_EQ(deleted.removed, (std::vector<RecordedCard>{{0, "\"Ann\"\r\n"}}));
    EXPECT_TRUE(deleted.added.empty());
    EXPECT_EQ(deleted.before, (CardFileVersion{1, 10, 7}));
    EXPECT_EQ(deleted.after, (CardFileVersion{1, 11, 0}));
    EXPECT_FALSE(deleted.id.isEmpty());
    EXPECT_LE(qAbs(deleted.when.secsTo(QDateTime::currentDateTimeUtc())), 60);
}

} // namespace kestrix::testing
