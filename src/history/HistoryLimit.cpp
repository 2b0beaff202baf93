// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "HistoryLimit.h"

#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>

namespace kestrix {

namespace {

const QString kLimitFile = QStringLiteral("history-limit");

// The part of a record's head that holds its time, read from the start of
// the file: a record's head is a few lines.
constexpr qsizetype kHeadBytes = 4096;

// The time of the first record, where the file starts with one.
FileStatus firstRecordTime(int fd, const QString& name, std::optional<QDateTime>& when)
{
    when.reset();
    QByteArray head(kHeadBytes, Qt::Uninitialized);
    ssize_t got = -1;
    do got = sys::pread(fd, head.data(), static_cast<size_t>(head.size()), 0);
    while (got < 0 && errno == EINTR);
    if (got < 0) return FileStatus::fromErrno(name, errno);
    head.truncate(got);
    const qsizetype at = head.indexOf("\ntime ");
    const qsizetype end = at < 0 ? -1 : head.indexOf('\n', at + 1);
    if (end < 0) return FileStatus::success();
    const QDateTime time =
        QDateTime::fromString(QString::fromLatin1(head.mid(at + 6, end - at - 6)), Qt::ISODateWithMs);
    if (time.isValid()) when = time;
    return FileStatus::success();
}

} // namespace

HistoryLimit historyLimit(const QString& stateFolder)
{
    QByteArray bytes;
    HistoryLimit limit;
    if (!posix::readWholeFile(stateFolder, kLimitFile, bytes).ok()) return limit;
    bool ok = false;
    const qint64 set = bytes.trimmed().toLongLong(&ok);
    if (ok && set >= HistoryLimit::kLeastBytes) limit.bytes = set;
    return limit;
}

FileStatus setHistoryLimit(const QString& stateFolder, qint64 bytes)
{
    AtomicFile file(stateFolder, kLimitFile, Durability::Durable);
    FileStatus status = file.open();
    if (status.ok()) status = file.write(QByteArray::number(bytes) + '\n');
    return status.orFirstFailure(file.close());
}

std::vector<ChangeRecord> recordsToKeep(std::vector<ChangeRecord> records, const HistoryLimit& limit,
                                        const QDateTime& now)
{
    const QDateTime oldest = now.addDays(-HistoryLimit::kDays);
    const qint64 room = limit.bytes / 4 * 3;
    qint64 used = 0;
    size_t first = records.size();
    while (first > 0) {
        const ChangeRecord& record = records[first - 1];
        used += encodeRecord(record).size();
        if (record.when < oldest || used > room) break;
        --first;
    }
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(first));
    return records;
}

FileStatus trimHistory(const QString& directory, const QString& name, const HistoryLimit& limit, const QDateTime& now)
{
    int fd = -1;
    posix::FileVersion version;
    FileStatus status = posix::openForReading(directory, name, fd, &version);
    if (status.isMissing()) return FileStatus::success();
    if (!status.ok()) return status;
    std::optional<QDateTime> first;
    status = firstRecordTime(fd, name, first);
    status.orFirstFailure(posix::closeFile(fd, name));
    if (!status.ok()) return status;
    const bool tooOld = first && *first < now.addDays(-HistoryLimit::kDays);
    if (version.size <= limit.bytes && !tooOld) return FileStatus::success();

    QByteArray bytes;
    status = posix::readWholeFile(directory, name, bytes);
    if (!status.ok()) return status;
    std::vector<ChangeRecord> kept = recordsToKeep(decodeRecords(bytes), limit, now);
    bytes.clear();
    AtomicFile trimmed(directory, name, Durability::Durable);
    status = trimmed.open();
    for (const ChangeRecord& record : kept)
        if (status.ok()) status = trimmed.write(encodeRecord(record));
    return status.orFirstFailure(trimmed.close());
}

} // namespace kestrix
