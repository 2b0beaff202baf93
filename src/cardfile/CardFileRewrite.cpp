// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Save's update and Delete: the card file rewritten without some of its
// cards, through the scratch file, and put in place in one step.
#include "CardFile.h"

#include "CardFileNames.h"
#include "files/AtomicFile.h"

namespace kestrix {

using names::kCardFile;
using names::kScratchFile;

FileStatus CardFile::rewrite(const CardTest& drop, QByteArrayView appendedLine)
{
    Q_ASSERT(locking_.held());
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
    if (status.ok()) status = copyKeptCards(drop);
    // The card file's replacement takes the scratch file's content: its
    // blocks shared where the file system can, so a change needs room for
    // one copy of the cards, not two.
    if (status.ok()) status = folder_.slot2.copyWrittenTo(replacement);
    // A scratch file that is incomplete, or an older one, must never stand
    // for the cards; the replacement is discarded with it.
    if (!status.ok()) {
        folder_.slot2.closeDiscarding();
        (void)folder_.closeAll();
        return status;
    }
    return putRewriteInPlace(replacement, appendedLine);
}

// Kept cards that stand in the file as they are stored go on in runs, each
// run one stretch copied inside the kernel; a hand-edited card is written in
// the stored form.
FileStatus CardFile::copyKeptCards(const CardTest& drop)
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
                status.orFirstFailure(scratch.write(line));
            }
        }
    }
    if (status.ok()) status = copyRun();
    return status.orFirstFailure(cardReadStatus());
}

FileStatus CardFile::putRewriteInPlace(AtomicFile& replacement, QByteArrayView appendedLine)
{
    FileStatus status = folder_.closeAll();
    if (status.ok() && !appendedLine.isEmpty()) status = replacement.write(appendedLine);
    if (!status.ok()) return status;
    status = replacement.close();
    if (status.ok()) noteOtherNames(replacement.otherNames());
    return status;
}

} // namespace kestrix
