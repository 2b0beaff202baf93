// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Module1.h"

#include "CardLine.h"
#include "card/RecordNumberRule.h"
#include "card/TextEncoding.h"
#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <utility>

namespace kestrix {

Module1::Module1(QString directory) : directory_(std::move(directory)) {}

FileStatus Module1::CloseAllFiles()
{
    FileStatus status = slot1_.close();
    return status.orFirstFailure(slot2_.close());
}

FileStatus Module1::OpenCardFileForReading(bool createIfMissing)
{
    FileStatus status = slot1_.openForReading(directory_, kCardFile);
    if (!status.isMissing() || !createIfMissing) return status;

    (void)CloseAllFiles();
    const FileStatus created = posix::createEmpty(directory_, kCardFile);
    RecordNumber = QStringLiteral("1");
    (void)CloseAllFiles();
    status = slot1_.openForReading(directory_, kCardFile);
    return created.ok() ? status : created;
}

bool Module1::AtEndOfCards()
{
    ItemReader* reader = slot1_.reader();
    return !reader || reader->atEnd();
}

bool Module1::ReadCard(StoredCard& card)
{
    ItemReader* reader = slot1_.reader();
    if (!reader || !card.readFrom(*reader)) return false;
    if (card.itemCount() == kFieldCount) decodeItemInto(card.raw(Field::RecordNumber), RecordNumber);
    return true;
}

FileStatus Module1::ScanCards(bool createIfMissing, const CardVisitor& visit, AfterScan after)
{
    (void)CloseAllFiles();
    FileStatus status = OpenCardFileForReading(createIfMissing);
    StoredCard card;
    bool any = false;
    bool stopped = false;
    while (!AtEndOfCards() && ReadCard(card)) {
        any = true;
        if (visit(card, RecordNumber) == ScanStep::Stop) {
            stopped = true;
            break;
        }
    }
    status.orFirstFailure(cardReadStatus());
    if (status.ok() && !stopped && slot1_.version())
        knownEnd_ = KnownEnd{*slot1_.version(), any ? card.completion() : QByteArray()};
    if (after == AfterScan::CloseFiles) (void)CloseAllFiles();
    return status;
}

FileStatus Module1::cardReadStatus()
{
    ItemReader* reader = slot1_.reader();
    return reader ? reader->status() : FileStatus::success();
}

Module1::ChangeGuard::~ChangeGuard()
{
    if (module_) module_->endChange();
}

Module1::ChangeGuard Module1::lockForChange()
{
    if (changeDepth_ > 0) {
        ++changeDepth_;
        return ChangeGuard(this, FileStatus::success());
    }
    // The folders the card and counter files really lie in: every window
    // that changes them locks the same ones, wherever it was started.
    std::vector<PlacedFile> files;
    std::vector<ChangeLock::Place> places;
    for (const QString& name : {kCardFile, kCounterFile}) {
        posix::FileLocation location;
        if (FileStatus found = posix::followLinks(directory_, name, location); !found.ok())
            return ChangeGuard(nullptr, found);
        const QByteArray baseName = posix::baseNameOf(location.path);
        places.push_back(
            {location.folder, QLatin1Char('.') + QFile::decodeName(baseName) + QStringLiteral(".lock"), baseName});
        files.push_back({name, location.folder, baseName});
    }
    files.push_back({kScratchFile, QFile::encodeName(directory_), QFile::encodeName(kScratchFile)});
    ChangeLock lock = ChangeLock::take(places, lockPatience);
    if (!lock.status().ok()) return ChangeGuard(nullptr, lock.status());
    if (lock.withoutLock() && !told_.count(Notice::Kind::WithoutLock)) {
        told_.insert(Notice::Kind::WithoutLock);
        notices_.push_back({Notice::Kind::WithoutLock, QDir(directory_).absolutePath(), 0, {}});
    }
    const bool withoutLock = lock.withoutLock();
    lock_.emplace(std::move(lock));
    changeDepth_ = 1;
    // Held from here: tidying the folders may itself change the card file.
    if (FileStatus tidied = tidyFolders(files, withoutLock); !tidied.ok()) {
        endChange();
        return ChangeGuard(nullptr, tidied);
    }
    return ChangeGuard(this, FileStatus::success());
}

std::vector<Module1::Notice> Module1::takeNotices()
{
    return std::exchange(notices_, {});
}

void Module1::noteOtherNames(nlink_t otherNames)
{
    if (otherNames == 0 || told_.count(Notice::Kind::OtherNames)) return;
    told_.insert(Notice::Kind::OtherNames);
    notices_.push_back({Notice::Kind::OtherNames, kCardFile, static_cast<qint64>(otherNames), {}});
}

void Module1::endChange()
{
    if (--changeDepth_ == 0) lock_.reset();
}

FileStatus Module1::AppendCard(const CardRecord& card)
{
    if (firstFieldWithDoubleQuote(card).has_value())
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    return appendLines(cardLine(card));
}

FileStatus Module1::appendLines(QByteArrayView lines)
{
    // Held from the open to the close: the card file is copied and renamed
    // over, and a card another process stored in between would be lost.
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    (void)CloseAllFiles();
    FileStatus status = beginAppending(slot1_);
    if (status.ok()) status = slot1_.write(lines);
    if (!status.ok()) {
        slot1_.closeDiscarding();
        return status;
    }
    return finishAppending(slot1_);
}

FileStatus Module1::beginAppending(FileSlot& slot)
{
    FileStatus status = slot.openForAppending(directory_, kCardFile);
    if (!status.ok()) return status;
    QByteArray bytes;
    status = completionOfCopiedCards(slot, bytes);
    // A last line without its line end (a hand edit, another program) must
    // not run into the new card; the line as it was stays byte for byte.
    if (status.ok() && bytes.isEmpty() && slot.endsMidLine()) bytes = "\r\n";
    if (status.ok() && !bytes.isEmpty()) status = slot.write(bytes);
    if (!status.ok()) slot.closeDiscarding();
    return status;
}

FileStatus Module1::finishAppending(FileSlot& slot)
{
    const nlink_t otherNames = slot.otherNamesOfTarget();
    FileStatus status = slot.close();
    if (&slot == &slot1_) status.orFirstFailure(CloseAllFiles());
    if (status.ok()) noteOtherNames(otherNames);
    return status;
}

// What completes the last card of the file `slot` is appending to: known from
// the scan that read this very version of the file (Save scans just before it
// appends), or else read from the file now.
FileStatus Module1::completionOfCopiedCards(const FileSlot& slot, QByteArray& completion)
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
    FileStatus status = posix::openForReading(directory_, kCardFile, fd, &version);
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

FileStatus Module1::CheckCardFileReplaceable()
{
    AtomicFile replacement(directory_, kCardFile, Durability::Durable, Links::Follow);
    if (FileStatus target = replacement.checkTarget(); !target.ok()) return target;
    posix::FileLocation location;
    if (FileStatus found = posix::followLinks(directory_, kCardFile, location); !found.ok()) return found;
    if (sys::faccessat(AT_FDCWD, location.folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return posix::creationFailure(kCardFile, location.folder, errno);
    return FileStatus::success();
}

FileStatus Module1::RewriteWithoutContact(const QString& contact)
{
    const ItemMatcher matcher(contact);
    return rewrite([&](const StoredCard& card) { return matcher.matches(card.raw(Field::CCNAME)); }, {});
}

FileStatus Module1::ReplaceCard(const CardRecord& card)
{
    if (firstFieldWithDoubleQuote(card).has_value())
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    const ItemMatcher number(card[indexOf(Field::RecordNumber)]);
    const ItemMatcher contact(card[indexOf(Field::CCNAME)]);
    return rewrite(
        [&](const StoredCard& stored) {
            return stored.itemCount() == kFieldCount && contact.matches(stored.raw(Field::CCNAME))
                && number.matches(stored.raw(Field::RecordNumber));
        },
        cardLine(card));
}

FileStatus Module1::rewrite(const CardTest& drop, QByteArrayView appendedLine)
{
    // Held from the first read to the rename, so no card another process
    // stores meanwhile is left out of the new file.
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    (void)CloseAllFiles();
    const FileStatus scratch = slot2_.openForWriting(directory_, kScratchFile, Durability::Scratch, Links::Replace);
    if (!scratch.ok()) return scratch;
    // The kept cards go to the scratch file and from there, through the
    // descriptor this change made it with, to the card file's replacement:
    // nothing is read back by the scratch file's name, which another program
    // could swap in the meantime.
    AtomicFile replacement(directory_, kCardFile, Durability::Durable, Links::Follow);
    FileStatus status = replacement.open();
    status.orFirstFailure(OpenCardFileForReading(true));

    // Kept cards that stand in the file as they are stored go on in runs,
    // each run one stretch copied inside the kernel; a hand-edited card is
    // written in the stored form.
    StoredCard card;
    QByteArray line;
    ItemReader* reader = slot1_.reader();
    const int source = slot1_.descriptor();
    qint64 runBegin = 0, runEnd = 0;
    const auto copyRun = [&] {
        const FileStatus copied =
            runEnd > runBegin ? slot2_.copyRange(source, runBegin, runEnd - runBegin) : FileStatus::success();
        runBegin = runEnd = 0;
        return copied;
    };
    while (status.ok() && !AtEndOfCards()) {
        const qint64 begin = reader->position();
        if (!ReadCard(card)) break;
        const qint64 end = reader->position();
        if (drop(card)) {
            status = copyRun();
            continue;
        }
        const bool goesOn = card.isStoredForm() && runEnd > runBegin && begin == runEnd;
        if (goesOn) {
            runEnd = end;
            continue;
        }
        status = copyRun();
        if (card.isStoredForm()) {
            runBegin = begin;
            runEnd = end;
            continue;
        }
        line.resize(0);
        card.appendLineTo(line);
        status.orFirstFailure(slot2_.write(line));
    }
    if (status.ok()) status = copyRun();
    status.orFirstFailure(cardReadStatus());
    // The card file's replacement takes the scratch file's content: its
    // blocks shared where the file system can, so a change needs room for
    // one copy of the cards, not two.
    if (status.ok()) status = slot2_.copyWrittenTo(replacement);
    // A scratch file that is incomplete, or an older one, must never stand
    // for the cards; the replacement is discarded with it.
    if (!status.ok()) {
        slot2_.closeDiscarding();
        (void)CloseAllFiles();
        return status;
    }
    status = CloseAllFiles();
    if (status.ok() && !appendedLine.isEmpty()) status = replacement.write(appendedLine);
    if (!status.ok()) return status;
    status = replacement.close();
    if (status.ok()) noteOtherNames(replacement.otherNames());
    return status;
}

FileStatus Module1::ReadCounter(bool* heldANumber)
{
    bool heldAnItem = false, plain = false;
    const FileStatus status = readCounter(heldAnItem, plain);
    if (heldANumber) *heldANumber = plain;
    return status;
}

FileStatus Module1::readCounter(bool& heldAnItem, bool& heldANumber)
{
    heldAnItem = heldANumber = false;
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    (void)slot2_.close();
    FileStatus status = slot2_.openForReading(directory_, kCounterFile);
    if (status.isMissing()) {
        const FileStatus created = posix::createEmpty(directory_, kCounterFile);
        status = slot2_.openForReading(directory_, kCounterFile);
        if (!created.ok()) return created;
    }
    ItemReader* reader = slot2_.reader();
    if (!reader) return status;
    QByteArray item;
    while (!reader->atEnd()) {
        item.clear();
        if (!reader->readItem(item)) break;
        RecordNumber = decodeItem(item);
        heldAnItem = true;
        // The last item counts; a hand edit may have left letters there.
        heldANumber = isPlainWholeNumber(RecordNumber);
    }
    return reader->status();
}

FileStatus Module1::NextRecordNumber(QString& next)
{
    next.clear();
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    // Without the last number issued, the next one could be one issued
    // before. A counter file lost, or left behind when the cards were moved,
    // says nothing; the last card's number is no guide either, since an
    // update moves its card to the end. No number a card holds is issued
    // again.
    bool counterHeldAnItem = false, counterHeldANumber = false;
    FileStatus status = readCounter(counterHeldAnItem, counterHeldANumber);
    const QString lastIssued = RecordNumber;
    std::optional<double> largestStored;
    if (status.ok() && !counterHeldANumber) status = LargestRecordNumber(largestStored);
    if (!status.ok()) return status;
    if (const std::optional<QString> number = nextRecordNumber(lastIssued, largestStored)) {
        next = *number;
        return status;
    }
    // Named where the number stands: the counter, or a card.
    const std::optional<double> last = numberFromText(lastIssued);
    const bool cardsHoldIt = largestStored && last && *largestStored >= *last;
    const QString number = cardsHoldIt ? textFromNumber(*largestStored) : lastIssued.trimmed();
    return FileStatus::failure(!cardsHoldIt && counterHeldAnItem ? kCounterFile : kCardFile,
                               QStringLiteral("it holds the number %1, too large to count on: the next number "
                                              "would be written the same and issued twice")
                                   .arg(number));
}

FileStatus Module1::LargestRecordNumber(std::optional<double>& largest)
{
    largest.reset();
    const FileStatus scanned = ScanCards(
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

FileStatus Module1::WriteCounter(const QString& number)
{
    if (number.contains(QLatin1Char('"')))
        return FileStatus::failure(kCounterFile, QStringLiteral("a double quote cannot be stored"));
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    (void)slot2_.close();
    FileStatus status = slot2_.openForWriting(directory_, kCounterFile, Durability::Durable, Links::Follow);
    status.orFirstFailure(slot2_.write(counterLine(number)));
    // A number must never be issued twice, even after a crash: on the disk now.
    return status.orFirstFailure(slot2_.commitNow());
}

} // namespace kestrix
