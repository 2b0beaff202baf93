// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What every change does first, with the lock held: it tidies the folders the
// files lie in. Copies that killed changes left are removed, and the copies a
// sync engine made when two computers changed the cards while apart are
// merged in, so no card stored on either computer is lost.
//
// A folder may be shared, so a name that looks like a sync engine's copy may
// have been put there by anyone: only a regular file that this user or the
// cards' owner owns, of a size a copy of the cards could have, and that can
// be removed once merged, is merged. Anything else is named and left alone.
#include "ConflictMerge.h"

#include "CardFileNames.h"
#include "ItemReader.h"
#include "card/CardKeySet.h"
#include "card/RecordNumberRule.h"
#include "card/TextEncoding.h"
#include "files/ConflictCopies.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "files/UserAccess.h"
#include "history/MergeKnowledge.h"
#include "history/RecordedCards.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace kestrix {

using names::kCardFile;
using names::kCounterFile;
using names::kScratchFile;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

// A copy of the card file holds the cards both computers shared, and what
// one of them added while apart: four times the card file and 64 MiB more
// leaves room for a whole address book imported there, not for a disk image.
qint64 largestCardCopy(qint64 cardFileSize)
{
    return 4 * cardFileSize + 64 * kMiB;
}

// A counter holds one number.
constexpr qint64 kLargestCounterCopy = 64 * 1024;

QString sizeText(qint64 bytes)
{
    if (bytes < 10'000) return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 10'000'000) return QStringLiteral("%1 kB").arg(bytes / 1000);
    if (bytes < 10'000'000'000) return QStringLiteral("%1 MB").arg(bytes / 1'000'000);
    return QStringLiteral("%1 GB").arg(bytes / 1'000'000'000);
}

// The folders' entries, each listed once.
struct Listing {
    QByteArray folder;
    std::vector<QByteArray> names;
};

} // namespace

FileStatus ConflictMerge::tidy(const std::vector<PlacedFile>& files, bool withoutLock)
{
    std::vector<Listing> listings;
    std::vector<QByteArray> cardCopies, counterCopies, scratchCopies;
    const PlacedFile* cardFile = nullptr;
    const PlacedFile* counterFile = nullptr;
    const PlacedFile* scratchFile = nullptr;
    for (const PlacedFile& file : files) {
        auto listed = std::find_if(listings.begin(), listings.end(),
                                   [&](const Listing& listing) { return listing.folder == file.folder; });
        if (listed == listings.end()) {
            Listing listing{file.folder, {}};
            if (FileStatus read = posix::listFolder(file.folder, listing.names); !read.ok()) return read;
            listed = listings.insert(listings.end(), std::move(listing));
        }
        for (const QByteArray& entry : listed->names) {
            // Without a lock, such a copy could be another window's live change.
            if (!withoutLock && posix::isLeftoverCopyOf(entry, file.baseName)) {
                if (FileStatus removed = posix::removeCopy(file.folder + '/' + entry, file.name); !removed.ok())
                    return removed;
            }
            if (file.name == kCardFile && isConflictCopyOf(entry, file.baseName)) cardCopies.push_back(entry);
            if (file.name == kCounterFile && isConflictCopyOf(entry, file.baseName)) counterCopies.push_back(entry);
            if (file.name == kScratchFile && isConflictCopyOf(entry, file.baseName)) scratchCopies.push_back(entry);
        }
        if (file.name == kCardFile) cardFile = &file;
        if (file.name == kCounterFile) counterFile = &file;
        if (file.name == kScratchFile) scratchFile = &file;
    }
    // A copy that cannot be merged stays where it is, and the user's change
    // goes ahead: nothing is lost either way.
    if (cardFile && !cardCopies.empty())
        notices_.notMerged(mergeCardCopies(copiesToMerge(*cardFile, std::move(cardCopies))));
    if (counterFile && !counterCopies.empty())
        notices_.notMerged(mergeCounterCopies(copiesToMerge(*counterFile, std::move(counterCopies))));
    // Two computers' rewrites each leave a scratch file, so a sync program
    // makes copies of it too: a scratch copy holds nothing the card file
    // needs, and goes.
    if (scratchFile && !scratchCopies.empty()) removeMerged(copiesToMerge(*scratchFile, std::move(scratchCopies)));
    return FileStatus::success();
}

std::vector<ConflictMerge::ConflictCopy> ConflictMerge::copiesToMerge(const PlacedFile& file,
                                                                      std::vector<QByteArray> names)
{
    std::sort(names.begin(), names.end());
    struct stat original {
    }, folder{};
    const bool originalThere = sys::stat((file.folder + '/' + file.baseName).constData(), &original) == 0;
    if ((!originalThere && errno != ENOENT) || sys::stat(file.folder.constData(), &folder) != 0) {
        notices_.notMerged(FileStatus::fromErrno(file.name, errno));
        return {};
    }
    std::vector<ConflictCopy> copies;
    for (const QByteArray& entry : names) {
        ConflictCopy copy;
        copy.path = file.folder + '/' + entry;
        copy.name = posix::displayNameOf(entry);
        // Never through a link, and nothing but a regular file.
        FileStatus status = posix::openRegularPath(copy.path, copy.name, O_RDONLY, copy.fd);
        struct stat info {};
        if (status.ok() && sys::fstat(copy.fd, &info) != 0) status = FileStatus::fromErrno(copy.name, errno);
        copy.device = info.st_dev;
        copy.inode = info.st_ino;
        if (status.ok() && mergedButKept_.count({info.st_dev, info.st_ino})) continue; // told when it stayed
        if (status.ok()) status = mayMerge(copy, info, file, originalThere ? &original : nullptr, folder);
        if (status.ok())
            copies.push_back(std::move(copy));
        else
            notices_.notMerged(status);
    }
    return copies;
}

// Only a regular file that this user or the cards' owner owns, of a size a
// copy of the cards could have, and that can be removed once merged: a
// folder may be shared, and anyone may have put a look-alike there.
FileStatus ConflictMerge::mayMerge(const ConflictCopy& copy, const struct stat& info, const PlacedFile& file,
                                   const struct stat* original, const struct stat& folder) const
{
    const uid_t me = ::geteuid();
    const qint64 originalSize = original ? original->st_size : 0;
    const qint64 bound = file.name == kCardFile ? largestCardCopy(originalSize) : kLargestCounterCopy;
    if (info.st_uid != me && !(original && info.st_uid == original->st_uid))
        return FileStatus::failure(copy.name,
                                   QStringLiteral("it belongs to %1, who owns neither %2 nor this run of Kestrix: "
                                                  "another user may have put it there")
                                       .arg(userName(info.st_uid), file.name));
    if (info.st_size > bound)
        return FileStatus::failure(
            copy.name,
            file.name == kCardFile
                ? QStringLiteral("it holds %1, far more than a copy of the card file (%2) could")
                      .arg(sizeText(info.st_size), sizeText(originalSize))
                : QStringLiteral("it holds %1, far more than a copy of the counter could").arg(sizeText(info.st_size)));
    if (!userMayReplaceIn(me, folder, info.st_uid)) {
        const bool sticky = (folder.st_mode & S_ISVTX) && userMayWrite(me, folder);
        return FileStatus::failure(
            copy.name,
            QStringLiteral("%1, so it could not be removed once merged, and its cards would come back "
                           "after every change")
                .arg(sticky ? QStringLiteral("it belongs to %1 and its folder has the sticky bit")
                                  .arg(userName(info.st_uid))
                            : QStringLiteral("its folder may not be written")));
    }
    return FileStatus::success();
}

FileStatus ConflictMerge::keysOfStoredCards(CardKeySet& keys)
{
    QByteArray line, scratch;
    const FileStatus scanned = cards_.scan(
        false,
        [&](const StoredCard& card, const QString&) {
            line.resize(0);
            card.appendLineTo(line);
            keys.insert(CardKeySet::keyOf(line, scratch));
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    return scanned.isMissing() ? FileStatus::success() : scanned;
}

// The cards of `copies` that `keys` lacks stream into `slot`, opened on a
// copy of the card file at the first of them; a copy that fails to read
// half way is named by `unreadable`.
FileStatus ConflictMerge::appendNewCards(std::vector<ConflictCopy>& copies, CardKeySet& keys, FileSlot& slot,
                                         qint64& added, std::optional<size_t>& unreadable)
{
    QByteArray line, scratch;
    FileStatus status = FileStatus::success();
    for (size_t i = 0; i < copies.size() && status.ok(); ++i) {
        if (sys::lseek(copies[i].fd, 0, SEEK_SET) < 0) {
            unreadable = i;
            return FileStatus::fromErrno(copies[i].name, errno);
        }
        ItemReader reader(copies[i].fd, copies[i].name);
        StoredCard card;
        while (status.ok() && !reader.atEnd() && card.readFrom(reader)) {
            line.resize(0);
            card.appendLineTo(line);
            if (!keys.insert(CardKeySet::keyOf(line, scratch))) continue;
            if (added++ == 0) status = cards_.beginAppending(slot, {QStringLiteral("Merge"), copies[i].name});
            if (status.ok()) status = slot.write(line);
        }
        if (status.ok() && !reader.status().ok()) {
            unreadable = i;
            return reader.status();
        }
    }
    return status;
}

// Without records of the other computer's changes: every card a copy holds
// that the card file lacks is added, and nothing is removed.
FileStatus ConflictMerge::mergeTwoWay(std::vector<ConflictCopy>& copies, std::optional<size_t>& unreadable)
{
    CardKeySet keys;
    if (FileStatus scanned = keysOfStoredCards(keys); !scanned.ok()) return scanned;
    // The new cards stream into the new card file.
    FileSlot slot;
    qint64 added = 0;
    FileStatus status = appendNewCards(copies, keys, slot, added, unreadable);
    if (unreadable || !status.ok()) {
        slot.closeDiscarding();
        return status;
    }
    // Only once the merged cards are on the disk: until then the copies hold them.
    if (added > 0) {
        if (status = cards_.finishAppending(slot); !status.ok()) return status;
    }
    QStringList names;
    for (const ConflictCopy& copy : copies) names << copy.name;
    notices_.add({CardFileNotice::Kind::Merged, names.join(QStringLiteral(", ")), added, {}, {}});
    return FileStatus::success();
}

FileStatus ConflictMerge::mergeCardCopies(std::vector<ConflictCopy> copies)
{
    for (;;) {
        if (copies.empty()) return FileStatus::success();
        MergeKnowledge knowledge;
        std::optional<CardFileVersion> current;
        FileStatus status = recorded::currentVersion(folder_.directory, kCardFile, current);
        if (status.ok()) status = knowledge.read(recording_, current);
        if (!status.ok()) return status;
        // A copy that fails to read half way is left out, and the others
        // merged without it.
        std::optional<size_t> unreadable;
        status = knowledge.knowsOtherComputers() ? mergeThreeWay(copies, knowledge, unreadable)
                                                 : mergeTwoWay(copies, unreadable);
        if (unreadable) {
            notices_.notMerged(status);
            copies.erase(copies.begin() + static_cast<std::ptrdiff_t>(*unreadable));
            continue;
        }
        if (!status.ok()) return status;
        removeMerged(copies);
        return FileStatus::success();
    }
}

void ConflictMerge::removeMerged(const std::vector<ConflictCopy>& copies)
{
    for (const ConflictCopy& copy : copies) {
        // Only the file that was merged: a sync engine may have put a new
        // copy under the same name meanwhile.
        struct stat now {};
        const bool there = sys::lstat(copy.path.constData(), &now) == 0;
        if (there && (now.st_dev != copy.device || now.st_ino != copy.inode)) continue;
        if ((!there && errno == ENOENT) || (there && (sys::unlink(copy.path.constData()) == 0 || errno == ENOENT)))
            continue;
        mergedButKept_.insert({copy.device, copy.inode});
        const FileStatus why = FileStatus::fromErrno(copy.name, errno);
        notices_.add({CardFileNotice::Kind::CopyNotRemoved, copy.name, 0, why.reason()});
    }
}

namespace {

// The counter's number, the last item read from `fd`; nothing for a file
// without one.
std::optional<QString> lastItemIn(int fd, const QString& name, FileStatus& status)
{
    ItemReader reader(fd, name);
    std::optional<QString> number;
    QByteArray item;
    while (!reader.atEnd()) {
        item.clear();
        if (!reader.readItem(item)) break;
        number = decodeItem(item);
    }
    status = reader.status();
    return number;
}

} // namespace

// The number a copy's must pass: the one issued here; without one, Add
// numbers above every card, and so must the copy's, or it would restart
// numbering among numbers in use.
FileStatus ConflictMerge::counterFloor(std::optional<double>& floor)
{
    floor.reset();
    int fd = -1;
    FileStatus status = posix::openForReading(folder_.directory, kCounterFile, fd);
    std::optional<QString> own;
    if (status.ok()) {
        own = lastItemIn(fd, kCounterFile, status);
        (void)posix::closeFile(fd, kCounterFile);
    } else if (status.isMissing()) {
        status = FileStatus::success();
    }
    if (!status.ok()) return status;
    if (own && isPlainWholeNumber(*own)) {
        floor = numberFromText(*own);
        return status;
    }
    return cards_.largestRecordNumber(floor);
}

FileStatus ConflictMerge::mergeCounterCopies(std::vector<ConflictCopy> copies)
{
    if (copies.empty()) return FileStatus::success();
    std::optional<double> floor;
    if (FileStatus found = counterFloor(floor); !found.ok()) return found;
    std::optional<QString> larger;
    std::vector<ConflictCopy> merged;
    for (ConflictCopy& copy : copies) {
        FileStatus status = FileStatus::success();
        const std::optional<QString> theirs = lastItemIn(copy.fd, copy.name, status);
        if (!status.ok()) {
            notices_.notMerged(status);
            continue;
        }
        // Only a plain whole number says which numbers were issued there.
        const std::optional<double> value =
            theirs && isPlainWholeNumber(*theirs) ? numberFromText(*theirs) : std::nullopt;
        if (value && (!floor || *value > *floor)) {
            floor = value;
            larger = theirs->trimmed();
        }
        merged.push_back(std::move(copy));
    }
    if (larger) {
        if (FileStatus written = counter_.write(*larger); !written.ok()) return written;
        notices_.add({CardFileNotice::Kind::CounterMerged, *larger, 0, {}});
    }
    removeMerged(merged);
    return FileStatus::success();
}

FileStatus ConflictMerge::anyCopies(bool& found) const
{
    found = false;
    for (const QString& name : {kCardFile, kCounterFile}) {
        posix::FileLocation location;
        if (FileStatus located = posix::followLinks(folder_.directory, name, location); !located.ok()) return located;
        std::vector<QByteArray> names;
        if (FileStatus listed = posix::listFolder(location.folder, names); !listed.ok()) return listed;
        const QByteArray baseName = posix::baseNameOf(location.path);
        found = found || std::any_of(names.begin(), names.end(), [&](const QByteArray& entry) {
                    return isConflictCopyOf(entry, baseName);
                });
    }
    return FileStatus::success();
}

} // namespace kestrix
