// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecord.h"
#include "ComputerIdentity.h"
#include "files/FileStatus.h"

#include <QString>

#include <vector>

namespace kestrix {

// Each computer keeps its records of changes in a hidden file of its own
// beside the card file, which no other computer writes: a sync engine
// carries it to the others and never has two versions of it to reconcile.
// The name says what it is and whose: ".kest1.dat.history-alice@desk-3f2a9c1e".
QString historyFileName(const Computer& computer);
// The state of this computer's last CardDAV sync of the card file, named
// likewise: ".kest1.dat.sync-alice@desk-3f2a9c1e".
QString syncStateFileName(const Computer& computer);
bool isHistoryFileName(const QString& name);
// The computer's label a history file's name carries: "alice@desk".
QString labelInHistoryFileName(const QString& name);

// Appends to this computer's history file, made when missing.
class HistoryAppender {
public:
    HistoryAppender() = default;
    ~HistoryAppender();
    HistoryAppender(const HistoryAppender&) = delete;
    HistoryAppender& operator=(const HistoryAppender&) = delete;

    FileStatus open(const QString& directory, const Computer& computer);
    FileStatus append(QByteArrayView piece);
    // On the disk, before the change it records is put in place.
    FileStatus sync();

private:
    int fd_ = -1;
    QString name_;
};

// The records of one computer's history file in `directory`, oldest first;
// none for a missing file. `damaged` counts the stretches left unread.
FileStatus readHistory(const QString& directory, const QString& name, std::vector<ChangeRecord>& records,
                       qsizetype& damaged);

// The names of the history files in `directory` that this user may trust:
// regular files of this user's or of the folder owner's, not links.
FileStatus historyFilesIn(const QString& directory, std::vector<QString>& names);

} // namespace kestrix
