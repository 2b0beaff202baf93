// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Undo: the newest change made here, taken back from the bytes it left.
#include "Module1.h"

#include "Module1Impl.h"
#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "history/TakeBack.h"

#include <cerrno>
#include <set>

namespace kestrix {

namespace {

CardFileVersion versionOf(const posix::FileVersion& version)
{
    return {static_cast<quint64>(version.device), static_cast<quint64>(version.inode),
            static_cast<qint64>(version.size)};
}

// The newest change that is not an undo and was not taken back, skipping
// those that never landed: their record was ended, but the file they were
// to put in place never was, and the file they started from still is.
const ChangeRecord* newestToTakeBack(const std::vector<ChangeRecord>& records, const CardFileVersion& current)
{
    std::set<QByteArray> undone;
    for (const ChangeRecord& record : records)
        if (!record.undoes.isEmpty()) undone.insert(record.undoes);
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (!record->undoes.isEmpty() || undone.count(record->id)) continue;
        if (record->after != current && record->before == current) continue;
        return &*record;
    }
    return nullptr;
}

FileStatus readCardFile(const QString& directory, QByteArray& bytes, posix::FileVersion& version)
{
    bytes.clear();
    int fd = -1;
    FileStatus status = posix::openForReading(directory, names::kCardFile, fd, &version);
    if (!status.ok()) return status;
    bytes.resize(static_cast<qsizetype>(version.size));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = sys::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            status = got < 0 ? FileStatus::fromErrno(names::kCardFile, errno)
                             : FileStatus::failure(names::kCardFile, QStringLiteral("it grew shorter while read"));
            break;
        }
        done += got;
    }
    return status.orFirstFailure(posix::closeFile(fd, names::kCardFile));
}

} // namespace

FileStatus Module1::UndoLastChange(Undone& undone)
{
    undone = {};
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    (void)impl_->folder.closeAll();
    QByteArray current;
    posix::FileVersion version;
    FileStatus status = readCardFile(directory(), current, version);
    std::vector<ChangeRecord> records;
    if (status.ok()) status = impl_->recording.ownRecords(records);
    if (!status.ok()) return status;
    const ChangeRecord* last = newestToTakeBack(records, versionOf(version));
    if (!last) return FileStatus::failure(kCardFile, QStringLiteral("no change made on this computer is left to undo"));
    QByteArray before;
    if (last->after != versionOf(version) || !takeBack(current, *last, before))
        return FileStatus::failure(kCardFile,
                                   QStringLiteral("it was changed since the %1 made here, which cannot be "
                                                  "taken back by itself")
                                       .arg(last->command));

    // The undo's own record is the change turned round.
    status = impl_->recording.begin(
        QStringLiteral("Undo"), QStringLiteral("%1 of \"%2\"").arg(last->command, last->subject), version, last->id);
    for (const RecordedCard& card : last->added)
        if (status.ok()) status = impl_->recording.removed(card.offset, card.bytes);
    for (const RecordedCard& card : last->removed)
        if (status.ok()) status = impl_->recording.added(card.offset, card.bytes);
    AtomicFile replacement(directory(), kCardFile, Durability::Durable, Links::Follow);
    if (status.ok()) status = replacement.open();
    if (status.ok()) status = replacement.write(before);
    if (status.ok()) {
        replacement.setBeforePlacing(
            [this](const posix::FileVersion& placed) { return impl_->recording.finish(placed); });
        status = replacement.close();
    }
    if (impl_->recording.active()) impl_->recording.abandon();
    if (!status.ok()) return status;
    undone = {last->command, last->subject, static_cast<qsizetype>(std::max(last->added.size(), last->removed.size())),
              last->when};
    return status;
}

} // namespace kestrix
