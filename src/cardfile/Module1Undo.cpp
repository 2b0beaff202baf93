// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Undo: the newest change made here, taken back from the bytes it left.
#include "Module1.h"

#include "Module1Impl.h"
#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "history/RecordedCards.h"
#include "history/TakeBack.h"

#include <algorithm>
#include <cerrno>
#include <set>

namespace kestrix {

namespace {

// The newest change that is not an undo and was not taken back.
const ChangeRecord* newestToTakeBack(const std::vector<ChangeRecord>& landed)
{
    for (auto record = landed.rbegin(); record != landed.rend(); ++record)
        if (record->undoes.isEmpty()) return &*record;
    return nullptr;
}

// The version of the card file that `current` stands for: where the newest
// changes are undos each made right after the change it took back, the file
// is byte for byte what it was before that change, though a new file.
CardFileVersion versionStoodFor(const std::vector<ChangeRecord>& landed, CardFileVersion current)
{
    std::set<QByteArray> takenBack;
    for (auto undo = landed.rbegin(); undo != landed.rend(); ++undo) {
        if (takenBack.count(undo->id)) continue; // walked past with its undo
        // A change taken back is marked by its own id (landedChanges).
        if (undo->after != current || undo->undoes.isEmpty() || undo->undoes == undo->id) break;
        const auto change = std::find_if(landed.begin(), landed.end(),
                                         [&](const ChangeRecord& record) { return record.id == undo->undoes; });
        if (change == landed.end() || undo->before != change->after) break;
        current = change->before;
        takenBack.insert(change->id);
    }
    return current;
}

// Whether `bytes` stand at `at` in the file open as `fd`.
FileStatus standsAt(int fd, qint64 at, QByteArrayView bytes, bool& stands)
{
    QByteArray here(bytes.size(), Qt::Uninitialized);
    qint64 done = 0;
    while (done < here.size()) {
        const ssize_t got = sys::pread(fd, here.data() + done, static_cast<size_t>(here.size() - done), at + done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FileStatus::fromErrno(names::kCardFile, errno);
        if (got == 0) break;
        done += got;
    }
    stands = done == here.size() && here == bytes;
    return FileStatus::success();
}

} // namespace

FileStatus Module1::ChangeToUndo(std::optional<Change>& change)
{
    change.reset();
    std::vector<ChangeRecord> own;
    std::vector<Change> everyones;
    if (FileStatus read = landedChanges(own, &everyones); !read.ok()) return read;
    if (const ChangeRecord* last = newestToTakeBack(own))
        for (Change& candidate : everyones)
            if (candidate.id == last->id) change = std::move(candidate);
    return FileStatus::success();
}

FileStatus Module1::UndoLastChange(Undone& undone)
{
    undone = {};
    const ChangeGuard guard = lockForChange();
    if (!guard.status().ok()) return guard.status();
    std::vector<ChangeRecord> own;
    std::vector<Change> everyones;
    FileStatus status = landedChanges(own, &everyones);
    if (!status.ok()) return status;
    const ChangeRecord* last = newestToTakeBack(own);
    if (!last) return FileStatus::failure(kCardFile, QStringLiteral("no change made on this computer is left to undo"));
    for (Change& change : everyones)
        if (change.id == last->id) undone.change = std::move(change);
    return takeBackChange(*last, own, undone.stayed);
}

FileStatus Module1::UndoChange(const QByteArray& id, Undone& undone)
{
    undone = {};
    const ChangeGuard guard = lockForChange();
    if (!guard.status().ok()) return guard.status();
    std::vector<ChangeRecord> own, others;
    std::vector<Change> everyones;
    if (FileStatus status = landedChanges(own, &everyones, &others); !status.ok()) return status;
    const auto chosen = std::find_if(everyones.begin(), everyones.end(), [&](const Change& c) { return c.id == id; });
    if (chosen == everyones.end())
        return FileStatus::failure(kCardFile, QStringLiteral("no such change is in its history"));
    if (chosen->takenBack) return FileStatus::failure(kCardFile, QStringLiteral("that change was undone already"));
    undone.change = std::move(*chosen);
    // Not taken back, so this computer's record of it is unmarked.
    const ChangeRecord* change = recordWithId(own, id);
    if (!change) change = recordWithId(others, id);
    Q_ASSERT(change);
    return takeBackChange(*change, own, undone.stayed);
}

FileStatus Module1::takeBackChange(const ChangeRecord& change, const std::vector<ChangeRecord>& own,
                                   QStringList& stayed)
{
    (void)impl_->folder.closeAll();
    int fd = -1;
    posix::FileVersion version;
    FileStatus status = posix::openForReading(directory(), kCardFile, fd, &version);
    if (!status.ok()) return status;
    bool whole = change.after == versionStoodFor(own, recorded::versionOf(version));
    if (whole) {
        // Right after the change: the file as it was, byte for byte, a
        // stretch at a time. The undo's own record is the change turned round.
        status = impl_->recording.begin(QStringLiteral("Undo"), recorded::subjectOfUndo(change), version, change.id);
        for (const RecordedCard& card : change.added)
            if (status.ok()) status = impl_->recording.removed(card.offset, card.bytes);
        for (const RecordedCard& card : change.removed)
            if (status.ok()) status = impl_->recording.added(card.offset, card.bytes);
        AtomicFile replacement(directory(), kCardFile, Durability::Durable, Links::Follow);
        if (status.ok()) status = replacement.open();
        whole = status.ok()
            && takeBack(version.size, change,
                        {[&](qint64 from, qint64 length) {
                             status = replacement.copyFrom(fd, from, length);
                             return status.ok();
                         },
                         [&](QByteArrayView bytes) {
                             status = replacement.write(bytes);
                             return status.ok();
                         },
                         [&](qint64 at, QByteArrayView bytes) {
                             bool stands = false;
                             status = standsAt(fd, at, bytes, stands);
                             return stands;
                         }});
        if (whole) {
            replacement.setBeforePlacing(
                [this](const posix::FileVersion& placed) { return impl_->recording.finish(placed); });
            status = replacement.close();
        }
        if (impl_->recording.active()) impl_->recording.abandon();
    }
    status.orFirstFailure(posix::closeFile(fd, kCardFile));
    // Later changes stand on this one: it is taken back card by card.
    if (status.ok() && !whole) return takeBackCardByCard(change, stayed);
    return status;
}

} // namespace kestrix
