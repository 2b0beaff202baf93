// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Save's update and Delete: the card file rewritten without some of its
// cards, through the scratch file, and put in place in one step.
#include "CardFile.h"

#include "CardFileNames.h"
#include "files/AtomicFile.h"
#include "files/SystemCalls.h"

#include <cerrno>

namespace kestrix {

using names::kCardFile;
using names::kScratchFile;

FileStatus CardFile::rewrite(const ChangeLabel& label, const CardTest& drop, const QByteArrayList& appended)
{
    Q_ASSERT(locking_.held());
    placed_ = false;
    (void)folder_.closeAll();
    const FileStatus scratch =
        folder_.slot2.openForWriting(folder_.directory, kScratchFile, Durability::Scratch, Links::Replace);
    if (!scratch.ok()) return scratch;
    // The kept cards go to the scratch file and from there, through the
    // descriptor this change made it with, to the card file's replacement:
    // nothing is read back by the scratch file's name, which another program
    // could swap in the meantime.
    AtomicFile replacement(folder_.directory, kCardFile, Durability::Durable, Links::Follow);
    FileStatus status = replacement.open();
    status.orFirstFailure(OpenCardFileForReading(true));
    if (status.ok()) status = recording_.begin(label.command, label.subject, folder_.slot1.version(), label.undoes);
    qint64 written = 0;
    if (status.ok()) status = copyKeptCards(drop, written);
    // The card file's replacement takes the scratch file's content: its
    // blocks shared where the file system can, so a change needs room for
    // one copy of the cards, not two.
    if (status.ok()) status = folder_.slot2.copyWrittenTo(replacement);
    // A scratch file that is incomplete, or an older one, must never stand
    // for the cards; the replacement is discarded with it.
    if (!status.ok()) {
        recording_.abandon();
        folder_.slot2.closeDiscarding();
        (void)folder_.closeAll();
        return status;
    }
    return putRewriteInPlace(replacement, appended, written);
}

// Kept cards that stand in the file as they are stored go on in runs, each
// run one stretch copied inside the kernel; a hand-edited card is written in
// the stored form.
// Each card the rewrite drops, and each hand-edited card it stores anew,
// goes into the change's record as the bytes it had.
FileStatus CardFile::recordCard(bool removed, qint64 offset, qint64 begin, qint64 end)
{
    QByteArray bytes(end - begin, Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t got = sys::pread(folder_.slot1.descriptor(), bytes.data() + done,
                                       static_cast<size_t>(bytes.size() - done), begin + done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return FileStatus::fromErrno(kCardFile, got < 0 ? errno : EIO);
        done += got;
    }
    return removed ? recording_.removed(offset, bytes) : recording_.added(offset, bytes);
}

FileStatus CardFile::copyKeptCards(const CardTest& drop, qint64& written)
{
    FileSlot& scratch = folder_.slot2;
    StoredCard card;
    QByteArray line;
    ItemReader* reader = folder_.slot1.reader();
    const int source = folder_.slot1.descriptor();
    qint64 runBegin = 0, runEnd = 0;
    const auto copyRun = [&] {
        const FileStatus copied =
            runEnd > runBegin ? scratch.copyRange(source, runBegin, runEnd - runBegin) : FileStatus::success();
        written += runEnd - runBegin;
        runBegin = runEnd = 0;
        return copied;
    };
    FileStatus status = FileStatus::success();
    while (status.ok() && !AtEndOfCards()) {
        const qint64 begin = reader->position();
        if (!ReadCard(card)) break;
        const qint64 end = reader->position();
        if (drop(card)) {
            status = copyRun();
            if (status.ok()) status = recordCard(true, begin, begin, end);
        } else if (card.isStoredForm() && runEnd > runBegin && begin == runEnd) {
            runEnd = end;
        } else {
            status = copyRun();
            if (card.isStoredForm()) {
                runBegin = begin;
                runEnd = end;
            } else {
                line.resize(0);
                card.appendLineTo(line);
                if (status.ok()) status = recordCard(true, begin, begin, end);
                if (status.ok()) status = recording_.added(written, line);
                if (status.ok()) status = scratch.write(line);
                written += line.size();
            }
        }
    }
    if (status.ok()) status = copyRun();
    return status.orFirstFailure(cardReadStatus());
}

FileStatus CardFile::putRewriteInPlace(AtomicFile& replacement, const QByteArrayList& appended, qint64 written)
{
    FileStatus status = folder_.closeAll();
    for (const QByteArray& line : appended) {
        if (status.ok()) status = recording_.added(written, line);
        if (status.ok()) status = replacement.write(line);
        written += line.size();
    }
    if (!status.ok()) {
        recording_.abandon();
        return status;
    }
    // The record is on the disk before the new cards can be seen.
    replacement.setBeforePlacing([this](const posix::FileVersion& placed) { return recording_.finish(placed); });
    status = replacement.close();
    placed_ = replacement.committed();
    if (recording_.active()) recording_.abandon();
    if (status.ok()) noteOtherNames(replacement.otherNames());
    return status;
}

} // namespace kestrix
