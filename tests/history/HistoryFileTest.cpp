// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/HistoryFile.h"
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

} // namespace kestrix::testing
