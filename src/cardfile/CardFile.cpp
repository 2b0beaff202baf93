// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardFile.h"

#include "CardFileNames.h"
#include "card/RecordNumberRule.h"
#include "card/TextEncoding.h"
#include "files/AtomicFile.h"
#include "files/SystemCalls.h"

#include <algorithm>
#include <fcntl.h>

namespace kestrix {

using names::kCardFile;

FileStatus CardFile::OpenCardFileForReading(bool createIfMissing)
{
    FileStatus status = folder_.slot1.openForReading(folder_.directory, kCardFile);
    if (!status.isMissing() || !createIfMissing) return status;

    (void)folder_.closeAll();
    const FileStatus created = posix::createEmpty(folder_.directory, kCardFile);
    folder_.recordNumber = QStringLiteral("1");
    (void)folder_.closeAll();
    status = folder_.slot1.openForReading(folder_.directory, kCardFile);
    return created.ok() ? status : created;
}

bool CardFile::AtEndOfCards()
{
    ItemReader* reader = folder_.slot1.reader();
    return !reader || reader->atEnd();
}

bool CardFile::ReadCard(StoredCard& card)
{
    ItemReader* reader = folder_.slot1.reader();
    if (!reader || !card.readFrom(*reader)) return false;
    if (card.itemCount() == kFieldCount) decodeItemInto(card.raw(Field::RecordNumber), folder_.recordNumber);
    return true;
}

FileStatus CardFile::cardReadStatus()
{
    ItemReader* reader = folder_.slot1.reader();
    return reader ? reader->status() : FileStatus::success();
}

FileStatus CardFile::scan(bool createIfMissing, const CardVisitor& visit, AfterScan after)
{
    (void)folder_.closeAll();
    FileStatus status = OpenCardFileForReading(createIfMissing);
    StoredCard card;
    bool any = false;
    bool stopped = false;
    while (!AtEndOfCards() && ReadCard(card)) {
        any = true;
        if (visit(card, folder_.recordNumber) == ScanStep::Stop) {
            stopped = true;
            break;
        }
    }
    status.orFirstFailure(cardReadStatus());
    if (status.ok() && !stopped && folder_.slot1.version())
        knownEnd_ = KnownEnd{*folder_.slot1.version(), any ? card.completion() : QByteArray()};
    if (after == AfterScan::CloseFiles) (void)folder_.closeAll();
    return status;
}

FileStatus CardFile::largestRecordNumber(std::optional<double>& largest)
{
    largest.reset();
    const FileStatus scanned = scan(
        false,
        [&](const StoredCard& card, const QString& recordNumber) {
            if (card.itemCount() != kFieldCount) return ScanStep::Next;
            if (const std::optional<double> number = numberFromText(recordNumber))
                largest = largest ? std::max(*largest, *number) : *number;
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    return scanned.isMissing() ? FileStatus::success() : scanned;
}

void CardFile::noteOtherNames(nlink_t otherNames)
{
    if (otherNames > 0)
        notices_.addOnce({CardFileNotice::Kind::OtherNames, kCardFile, static_cast<qint64>(otherNames), {}});
}

FileStatus CardFile::append(const ChangeLabel& label, QByteArrayView lines)
{
    Q_ASSERT(locking_.held());
    (void)folder_.closeAll();
    FileStatus status = beginAppending(folder_.slot1, label);
    if (status.ok()) status = folder_.slot1.write(lines);
    if (!status.ok()) {
        folder_.slot1.closeDiscarding();
        return status;
    }
    return finishAppending(folder_.slot1);
}

FileStatus CardFile::beginAppending(FileSlot& slot, const ChangeLabel& label)
{
    Q_ASSERT(locking_.held());
    FileStatus status = slot.openForAppending(folder_.directory, kCardFile);
    if (status.ok()) status = recording_.begin(label.command, label.subject, slot.version(), label.undoes);
    if (!status.ok()) {
        slot.closeDiscarding();
        return status;
    }
    // What completes a last card cut short is recorded as given too.
    slot.recordAppendsTo(recording_);
    QByteArray bytes;
    status = completionOfCopiedCards(slot, bytes);
    // A last line without its line end (a hand edit, another program) must
    // not run into the new card; the line as it was stays byte for byte.
    if (status.ok() && bytes.isEmpty() && slot.endsMidLine()) bytes = "\r\n";
    if (status.ok() && !bytes.isEmpty()) status = slot.write(bytes);
    if (!status.ok()) slot.closeDiscarding();
    return status;
}

FileStatus CardFile::finishAppending(FileSlot& slot)
{
    const nlink_t otherNames = slot.otherNamesOfTarget();
    FileStatus status = slot.close();
    if (recording_.active()) recording_.abandon();
    if (&slot == &folder_.slot1) status.orFirstFailure(folder_.closeAll());
    if (status.ok()) noteOtherNames(otherNames);
    return status;
}

// What completes the last card of the file `slot` is appending to: known from
// the scan that read this very version of the file (Save scans just before it
// appends), or else read from the file now.
FileStatus CardFile::completionOfCopiedCards(const FileSlot& slot, QByteArray& completion)
{
    completion.clear();
    const std::optional<posix::FileVersion>& copied = slot.version();
    if (!copied) return FileStatus::success(); // a new file
    if (knownEnd_ && knownEnd_->version == *copied) {
        completion = knownEnd_->completion;
        return FileStatus::success();
    }
    int fd = -1;
    posix::FileVersion version;
    FileStatus status = posix::openForReading(folder_.directory, kCardFile, fd, &version);
    if (!status.ok()) return status;
    if (version == *copied) {
        ItemReader reader(fd, kCardFile);
        StoredCard card;
        bool any = false;
        while (!reader.atEnd() && card.readFrom(reader)) any = true;
        status = reader.status();
        if (status.ok() && any) completion = card.completion();
    } else {
        status = FileStatus::failure(kCardFile, QStringLiteral("another program changed it while the card was saved"));
    }
    return status.orFirstFailure(posix::closeFile(fd, kCardFile));
}

FileStatus CardFile::checkReplaceable()
{
    AtomicFile replacement(folder_.directory, kCardFile, Durability::Durable, Links::Follow);
    if (FileStatus target = replacement.checkTarget(); !target.ok()) return target;
    posix::FileLocation location;
    if (FileStatus found = posix::followLinks(folder_.directory, kCardFile, location); !found.ok()) return found;
    if (sys::faccessat(AT_FDCWD, location.folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return posix::creationFailure(kCardFile, location.folder, errno);
    return FileStatus::success();
}

} // namespace kestrix
