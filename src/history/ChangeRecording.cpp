// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeRecording.h"

#include "RecordedCards.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace kestrix {

namespace {

// Written in stretches of this size, so a large change's record needs no
// more memory than that.
constexpr qsizetype kStretch = 256 * 1024;

// Unique among every computer's changes: the time, and a random part for
// two changes in one millisecond, here or elsewhere.
QByteArray newChangeId(const QDateTime& when)
{
    return QByteArray::number(when.toMSecsSinceEpoch(), 36) + '-'
        + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

} // namespace

ChangeRecording::ChangeRecording(QString directory, QString stateFolder)
    : directory_(std::move(directory)), stateFolder_(std::move(stateFolder))
{}

void ChangeRecording::prepare()
{
    Computer computer;
    if (!computer_ && thisComputer(stateFolder_, computer).ok()) computer_ = computer;
    if (!limit_) limit_ = historyLimit(stateFolder_);
}

FileStatus ChangeRecording::identify(Computer& computer)
{
    if (!computer_) {
        Computer found;
        if (FileStatus known = kestrix::thisComputer(stateFolder_, found); !known.ok()) return known;
        computer_ = found;
    }
    computer = *computer_;
    return FileStatus::success();
}

FileStatus ChangeRecording::begin(const QString& command, const QString& subject,
                                  const std::optional<posix::FileVersion>& before, const QByteArray& undoes)
{
    abandon();
    if (off_) return FileStatus::success();
    if (!computer_) {
        Computer computer;
        if (FileStatus known = thisComputer(stateFolder_, computer); !known.ok()) return known;
        computer_ = computer;
    }
    if (!limit_) limit_ = historyLimit(stateFolder_);
    // Kept to its limit before it grows. A history that cannot be read to
    // be trimmed could not take the record either: the change is refused,
    // naming the file.
    if (FileStatus trimmed =
            trimHistory(directory_, historyFileName(*computer_), *limit_, QDateTime::currentDateTimeUtc());
        !trimmed.ok())
        return trimmed;
    auto history = std::make_unique<HistoryAppender>();
    if (FileStatus opened = history->open(directory_, *computer_); !opened.ok()) return opened;
    history_ = std::move(history);
    ChangeRecord header;
    header.computer = computer_->id;
    header.when = QDateTime::currentDateTimeUtc();
    header.id = newChangeId(header.when);
    header.command = command;
    header.subject = subject;
    if (before) header.before = recorded::versionOf(*before);
    header.undoes = undoes;
    pending_ = writer_.begin(header);
    return FileStatus::success();
}

FileStatus ChangeRecording::flush()
{
    const FileStatus written = history_->append(pending_);
    pending_.clear();
    return written;
}

FileStatus ChangeRecording::removed(qint64 offset, QByteArrayView card)
{
    if (off_) return FileStatus::success();
    Q_ASSERT(active());
    pending_ += writer_.removed({offset, card.toByteArray()});
    return pending_.size() >= kStretch ? flush() : FileStatus::success();
}

FileStatus ChangeRecording::added(qint64 offset, QByteArrayView card)
{
    if (off_) return FileStatus::success();
    Q_ASSERT(active());
    pending_ += writer_.added({offset, card.toByteArray()});
    return pending_.size() >= kStretch ? flush() : FileStatus::success();
}

FileStatus ChangeRecording::finish(const posix::FileVersion& after)
{
    if (off_) return FileStatus::success();
    Q_ASSERT(active());
    pending_ += writer_.end(recorded::versionOf(after));
    FileStatus status = flush();
    if (status.ok()) status = history_->sync();
    history_.reset();
    return status;
}

FileStatus ChangeRecording::ownRecords(std::vector<ChangeRecord>& records)
{
    records.clear();
    prepare();
    if (!computer_) {
        Computer computer;
        return thisComputer(stateFolder_, computer);
    }
    qsizetype damaged = 0;
    const FileStatus read = readHistory(directory_, historyFileName(*computer_), records, damaged);
    return read.isMissing() ? FileStatus::success() : read;
}

FileStatus ChangeRecording::everyComputersRecords(std::vector<ComputerRecords>& computers)
{
    computers.clear();
    prepare();
    std::vector<QString> names;
    if (FileStatus listed = historyFilesIn(directory_, names); !listed.ok()) return listed;
    for (const QString& name : names) {
        ComputerRecords computer;
        computer.label = labelInHistoryFileName(name);
        computer.here = computer_ && name == historyFileName(*computer_);
        qsizetype damaged = 0;
        const FileStatus read = readHistory(directory_, name, computer.records, damaged);
        // Every history must be read, or an undo could take back the wrong
        // change and a merge take a deletion for a card new elsewhere; one
        // gone since the folder was listed is no more.
        if (read.isMissing()) continue;
        if (!read.ok()) return read;
        computers.push_back(std::move(computer));
    }
    return FileStatus::success();
}

FileStatus ChangeRecording::setLimit(qint64 bytes)
{
    const FileStatus set = setHistoryLimit(stateFolder_, bytes);
    if (set.ok()) limit_ = HistoryLimit{bytes};
    return set;
}

void ChangeRecording::abandon()
{
    history_.reset();
    pending_.clear();
}

} // namespace kestrix
