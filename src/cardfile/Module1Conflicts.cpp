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
#include "Module1.h"

#include "CardKeySet.h"
#include "ConflictCopies.h"
#include "ItemReader.h"
#include "card/RecordNumberRule.h"
#include "card/TextEncoding.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "files/UserAccess.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace kestrix {

// A copy found fit to merge, open for reading. Closed when it goes.
struct Module1::ConflictCopy {
    QByteArray path;
    QString name;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;

    ConflictCopy() = default;
    ConflictCopy(ConflictCopy&& other) noexcept { *this = std::move(other); }
    ConflictCopy& operator=(ConflictCopy&& other) noexcept
    {
        std::swap(path, other.path);
        std::swap(name, other.name);
        std::swap(fd, other.fd);
        device = other.device;
        inode = other.inode;
        return *this;
    }
    ~ConflictCopy() { (void)posix::closeFile(fd, name); }
};

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

FileStatus Module1::tidyFolders(const std::vector<PlacedFile>& files, bool withoutLock)
{
    std::vector<Listing> listings;
    std::vector<QByteArray> cardCopies, counterCopies;
    const PlacedFile* cardFile = nullptr;
    const PlacedFile* counterFile = nullptr;
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
        }
        if (file.name == kCardFile) cardFile = &file;
        if (file.name == kCounterFile) counterFile = &file;
    }
    // A copy that cannot be merged stays where it is, and the user's change
    // goes ahead: nothing is lost either way.
    if (cardFile && !cardCopies.empty())
        noteNotMerged(mergeCardCopies(copiesToMerge(*cardFile, std::move(cardCopies))));
    if (counterFile && !counterCopies.empty())
        noteNotMerged(mergeCounterCopies(copiesToMerge(*counterFile, std::move(counterCopies))));
    return FileStatus::success();
}

// Told once a run for each file, not at every change.
void Module1::noteNotMerged(const FileStatus& status)
{
    if (status.ok() || !toldNotMerged_.insert(status.file()).second) return;
    notices_.push_back({Notice::Kind::CopyNotMerged, status.file(), 0, status.reason()});
}

std::vector<Module1::ConflictCopy> Module1::copiesToMerge(const PlacedFile& file, std::vector<QByteArray> names)
{
    std::sort(names.begin(), names.end());
    const uid_t me = ::geteuid();
    struct stat original {
    }, folder{};
    const bool originalThere = sys::stat((file.folder + '/' + file.baseName).constData(), &original) == 0;
    if (!originalThere && errno != ENOENT) {
        noteNotMerged(FileStatus::fromErrno(file.name, errno));
        return {};
    }
    if (sys::stat(file.folder.constData(), &folder) != 0) {
        noteNotMerged(FileStatus::fromErrno(file.name, errno));
        return {};
    }
    const qint64 bound =
        file.name == kCardFile ? largestCardCopy(originalThere ? original.st_size : 0) : kLargestCounterCopy;
    std::vector<ConflictCopy> copies;
    for (const QByteArray& entry : names) {
        ConflictCopy copy;
        copy.path = file.folder + '/' + entry;
        copy.name = posix::displayNameOf(entry);
        // Never through a link, and nothing but a regular file.
        FileStatus status = posix::openRegularPath(copy.path, copy.name, O_RDONLY, copy.fd);
        struct stat info {};
        if (status.ok() && sys::fstat(copy.fd, &info) != 0) status = FileStatus::fromErrno(copy.name, errno);
        if (!status.ok()) {
            noteNotMerged(status);
            continue;
        }
        copy.device = info.st_dev;
        copy.inode = info.st_ino;
        if (mergedButKept_.count({info.st_dev, info.st_ino})) continue; // told when it stayed
        const bool ownersCopy = info.st_uid == me || (originalThere && info.st_uid == original.st_uid);
        if (!ownersCopy) {
            noteNotMerged(FileStatus::failure(
                copy.name,
                QStringLiteral("it belongs to %1, who owns neither %2 nor this run of Kestrix: another "
                               "user may have put it there")
                    .arg(userName(info.st_uid), file.name)));
        } else if (info.st_size > bound) {
            noteNotMerged(FileStatus::failure(
                copy.name,
                file.name == kCardFile
                    ? QStringLiteral("it holds %1, far more than a copy of the card file (%2) could")
                          .arg(sizeText(info.st_size), sizeText(originalThere ? original.st_size : 0))
                    : QStringLiteral("it holds %1, far more than a copy of the counter could")
                          .arg(sizeText(info.st_size))));
        } else if (!userMayReplaceIn(me, folder, info.st_uid)) {
            const bool sticky = (folder.st_mode & S_ISVTX) && userMayWrite(me, folder);
            noteNotMerged(FileStatus::failure(
                copy.name,
                QStringLiteral("%1, so it could not be removed once merged, and its cards would come back "
                               "after every change")
                    .arg(sticky ? QStringLiteral("it belongs to %1 and its folder has the sticky bit")
                                      .arg(userName(info.st_uid))
                                : QStringLiteral("its folder may not be written"))));
        } else {
            copies.push_back(std::move(copy));
        }
    }
    return copies;
}

FileStatus Module1::mergeCardCopies(std::vector<ConflictCopy> copies)
{
    QByteArray line, scratch;
    for (;;) {
        if (copies.empty()) return FileStatus::success();
        CardKeySet keys;
        const FileStatus scanned = ScanCards(
            false,
            [&](const StoredCard& card, const QString&) {
                line.resize(0);
                card.appendLineTo(line);
                keys.insert(CardKeySet::keyOf(line, scratch));
                return ScanStep::Next;
            },
            AfterScan::CloseFiles);
        if (!scanned.ok() && !scanned.isMissing()) return scanned;

        // The new cards stream into the new card file; a copy that fails to
        // read half way is left out, and the others merged without it.
        FileSlot slot;
        std::optional<size_t> unreadable;
        FileStatus status = FileStatus::success();
        qint64 added = 0;
        for (size_t i = 0; i < copies.size() && status.ok() && !unreadable; ++i) {
            if (sys::lseek(copies[i].fd, 0, SEEK_SET) < 0) {
                status = FileStatus::fromErrno(copies[i].name, errno);
                unreadable = i;
                break;
            }
            ItemReader reader(copies[i].fd, copies[i].name);
            StoredCard card;
            while (status.ok() && !reader.atEnd() && card.readFrom(reader)) {
                line.resize(0);
                card.appendLineTo(line);
                if (!keys.insert(CardKeySet::keyOf(line, scratch))) continue;
                if (added++ == 0) status = beginAppending(slot);
                if (status.ok()) status = slot.write(line);
            }
            if (status.ok() && !reader.status().ok()) {
                status = reader.status();
                unreadable = i;
            }
        }
        if (unreadable) {
            slot.closeDiscarding();
            noteNotMerged(status);
            copies.erase(copies.begin() + static_cast<std::ptrdiff_t>(*unreadable));
            continue;
        }
        if (!status.ok()) {
            slot.closeDiscarding();
            return status;
        }
        // Only once the merged cards are on the disk: until then the copies hold them.
        if (added > 0) {
            if (status = finishAppending(slot); !status.ok()) return status;
        }
        QStringList names;
        for (const ConflictCopy& copy : copies) names << copy.name;
        notices_.push_back({Notice::Kind::Merged, names.join(QStringLiteral(", ")), added, {}});
        removeMerged(copies);
        return FileStatus::success();
    }
}

void Module1::removeMerged(const std::vector<ConflictCopy>& copies)
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
        notices_.push_back({Notice::Kind::CopyNotRemoved, copy.name, 0, why.reason()});
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

FileStatus Module1::mergeCounterCopies(std::vector<ConflictCopy> copies)
{
    if (copies.empty()) return FileStatus::success();
    int fd = -1;
    FileStatus status = posix::openForReading(directory_, kCounterFile, fd);
    std::optional<QString> own;
    if (status.ok()) {
        own = lastItemIn(fd, kCounterFile, status);
        (void)posix::closeFile(fd, kCounterFile);
    } else if (status.isMissing()) {
        status = FileStatus::success();
    }
    if (!status.ok()) return status;
    // A copy's number must pass the one issued here. Without one, Add
    // numbers above every card: so must the copy's, or it would restart
    // numbering among numbers in use.
    std::optional<double> floor;
    if (own && isPlainWholeNumber(*own)) {
        floor = numberFromText(*own);
    } else if (status = LargestRecordNumber(floor); !status.ok()) {
        return status;
    }
    std::optional<QString> larger;
    std::vector<ConflictCopy> merged;
    for (ConflictCopy& copy : copies) {
        const std::optional<QString> theirs = lastItemIn(copy.fd, copy.name, status);
        if (!status.ok()) {
            noteNotMerged(status);
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
        if (FileStatus written = WriteCounter(*larger); !written.ok()) return written;
        notices_.push_back({Notice::Kind::CounterMerged, *larger, 0, {}});
    }
    removeMerged(merged);
    return FileStatus::success();
}

FileStatus Module1::MergeConflictCopies()
{
    // Looked for without the lock, which is taken only where there is work.
    bool found = false;
    for (const QString& name : {kCardFile, kCounterFile}) {
        posix::FileLocation location;
        if (FileStatus located = posix::followLinks(directory_, name, location); !located.ok()) return located;
        std::vector<QByteArray> names;
        if (FileStatus listed = posix::listFolder(location.folder, names); !listed.ok()) return listed;
        const QByteArray baseName = posix::baseNameOf(location.path);
        found = found || std::any_of(names.begin(), names.end(), [&](const QByteArray& entry) {
                    return isConflictCopyOf(entry, baseName);
                });
    }
    if (!found) return FileStatus::success();
    const ChangeGuard change = lockForChange();
    FileStatus status = change.status();
    // A merged counter is left open for writing; nothing here needs it open.
    return status.orFirstFailure(CloseAllFiles());
}

} // namespace kestrix
