// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "files/FileStatus.h"
#include "history/ChangeRecord.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace kestrix {

// How much history each computer keeps: the changes of the last 30 days, or
// as many of the newest as fit in a size the user sets, whichever is less.
struct HistoryLimit {
    static constexpr int kDays = 30;
    static constexpr qint64 kDefaultBytes = 64LL * 1024 * 1024;
    static constexpr qint64 kLeastBytes = 1024 * 1024;
    qint64 bytes = kDefaultBytes;
};

// The limit the user set, kept in the state folder beside the computer's
// identity; the default where none was set or it cannot be read.
HistoryLimit historyLimit(const QString& stateFolder);
FileStatus setHistoryLimit(const QString& stateFolder, qint64 bytes);

// The records to keep of `records` (oldest first) at `now`: those of the
// last 30 days, and of those the newest that fit in `limit`. A trim keeps
// room below the limit, so a file is not trimmed again at every change.
std::vector<ChangeRecord> recordsToKeep(std::vector<ChangeRecord> records, const HistoryLimit& limit,
                                        const QDateTime& now);

// Trims this computer's history file in `directory` where it outgrew
// `limit` or holds a record older than 30 days: the records kept are
// written into a new file put in its place in one step. Cheap where nothing
// is to be trimmed: its size and its first record's time tell.
FileStatus trimHistory(const QString& directory, const QString& name, const HistoryLimit& limit, const QDateTime& now);

} // namespace kestrix
