// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecord.h"
#include "ComputerIdentity.h"
#include "HistoryFile.h"
#include "HistoryLimit.h"
#include "files/FileStatus.h"
#include "files/PosixFile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kestrix {

// The record of the change the card file is going through, in this
// computer's history file beside it: begun with the change, given the cards
// it removes and adds as the change meets them, and ended, on the disk, in
// the step before the change is put in place. A change that fails leaves
// its record without an end, which counts for nothing.
class ChangeRecording {
public:
    ChangeRecording(QString directory, QString stateFolder);

    // Finds this computer's identity, making it when missing, ahead of the
    // first change; a failure here is met again, and told, by begin().
    void prepare();
    // This computer's identity, making it when missing.
    FileStatus identify(Computer& computer);
    FileStatus begin(const QString& command, const QString& subject, const std::optional<posix::FileVersion>& before,
                     const QByteArray& undoes = {});
    // The records of this computer's changes to this card file, oldest first.
    FileStatus ownRecords(std::vector<ChangeRecord>& records);
    // One computer's records, oldest first, with who it is, as its history
    // file's name says.
    struct ComputerRecords {
        QString label;
        bool here = false;
        std::vector<ChangeRecord> records;
    };
    // Every computer's records this user may trust.
    FileStatus everyComputersRecords(std::vector<ComputerRecords>& computers);
    FileStatus removed(qint64 offset, QByteArrayView card);
    FileStatus added(qint64 offset, QByteArrayView card);
    // The step before placing (AtomicFile::setBeforePlacing).
    FileStatus finish(const posix::FileVersion& after);
    // Off, a change is made without a record; only to measure what one costs.
    void recordChanges(bool on) { off_ = !on; }
    // Sets how much history this computer keeps, from the next change on.
    FileStatus setLimit(qint64 bytes);
    // Drops a change's record that will not be ended.
    void abandon();
    bool active() const { return history_ != nullptr; }

private:
    FileStatus flush();

    const QString directory_;
    const QString stateFolder_;
    std::optional<Computer> computer_;
    std::optional<HistoryLimit> limit_;
    bool off_ = false;
    std::unique_ptr<HistoryAppender> history_;
    ChangeRecordWriter writer_;
    QByteArray pending_;
};

} // namespace kestrix
