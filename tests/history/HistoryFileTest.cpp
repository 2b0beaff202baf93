// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/HistoryFile.h"
#include "history/HistoryLimit.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrix::testing {

// A change that was killed while its record was written leaves a torn
// record: the records appended after it still count, and only history
// files stand for histories.
TEST(HistoryFile, AppendedRecordsReadBackPastATornOne)
{
    TempFolder folder;
    const Computer desk{"3f2a9c1e00000000000000000000000a", QStringLiteral("ann@desk 2/ü")};
    const QString name = historyFileName(desk);
    EXPECT_EQ(name, QStringLiteral(".kest1.dat.history-ann@desk_2__-3f2a9c1e"));
    ASSERT_TRUE(isHistoryFileName(name));

    ChangeRecord first, second;
    first.computer = second.computer = desk.id;
    first.id = "a1";
    second.id = "a2";
    first.when = second.when = QDateTime::fromMSecsSinceEpoch(1'796'000'000'000).toUTC();
    first.removed = {{0, "\"Ann\"\r\n"}};
    const QByteArray torn = encodeRecord(first).chopped(9);
    {
        HistoryAppender history;
        ASSERT_TRUE(history.open(folder.path(), desk).ok());
        ASSERT_TRUE(history.append(encodeRecord(first)).ok());
        ASSERT_TRUE(history.append(torn).ok());
        ASSERT_TRUE(history.append(encodeRecord(second)).ok());
        ASSERT_TRUE(history.sync().ok());
    }
    std::vector<ChangeRecord> records;
    qsizetype damaged = 0;
    ASSERT_TRUE(readHistory(folder.path(), name, records, damaged).ok());
    EXPECT_EQ(records, (std::vector<ChangeRecord>{first, second}));
    EXPECT_EQ(damaged, 1);

    folder.write(QStringLiteral(".kest1.dat.history-notes.txt"), "");
    ASSERT_EQ(::symlink("elsewhere",
                        QFile::encodeName(folder.pathOf(QStringLiteral(".kest1.dat.history-x-00000000"))).constData()),
              0);
    std::vector<QString> names;
    ASSERT_TRUE(historyFilesIn(folder.path(), names).ok());
    EXPECT_EQ(names, std::vector<QString>{name});
}

// A history past 30 days or its size loses its oldest records, in one
// step, and the records kept read back as they were written.
TEST(HistoryFile, TrimmedToThirtyDaysAndItsSizeOldestFirst)
{
    TempFolder folder;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1'796'000'000'000).toUTC();
    const QByteArray card(200 * 1024, 'x');
    std::vector<ChangeRecord> records(8);
    QByteArray bytes;
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].id = QByteArray::number(qulonglong(i));
        records[i].when = now.addDays(static_cast<int>(i) - 31); // the first is 31 days old
        records[i].added = {{0, card}};
        bytes += encodeRecord(records[i]);
    }
    const QString name = QStringLiteral(".kest1.dat.history-ann@desk-3f2a9c1e");
    folder.write(name, bytes);

    ASSERT_TRUE(trimHistory(folder.path(), name, HistoryLimit{}, now).ok());
    EXPECT_EQ(decodeRecords(folder.read(name)), std::vector<ChangeRecord>(records.begin() + 1, records.end()));

    // Within 1 MiB, with room kept below it: the newest three.
    ASSERT_TRUE(trimHistory(folder.path(), name, HistoryLimit{1024 * 1024}, now).ok());
    EXPECT_EQ(decodeRecords(folder.read(name)), std::vector<ChangeRecord>(records.end() - 3, records.end()));
    const QByteArray trimmed = folder.read(name);
    ASSERT_TRUE(trimHistory(folder.path(), name, HistoryLimit{1024 * 1024}, now).ok());
    EXPECT_EQ(folder.read(name), trimmed) << "nothing to trim";
}

} // namespace kestrix::testing
