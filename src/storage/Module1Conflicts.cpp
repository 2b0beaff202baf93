// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What every change does first, with the lock held: it tidies the folders the
// files lie in. Copies that killed changes left are removed, and the copies a
// sync engine made when two computers changed the cards while apart are
// merged in, so no card stored on either computer is lost.
#include "Module1.h"

#include "ConflictCopies.h"
#include "ItemReader.h"
#include "PosixFile.h"
#include "RecordNumberRule.h"
#include "TextEncoding.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>

namespace kestrix {

namespace {

// A card as a key, from all of its bytes as it would be stored: two hashes of
// 64 bits each, so two different cards have the same key with a chance of
// one in 2^128, and the cards of a big file need not be held in memory.
struct CardKey {
    size_t first;
    size_t second;
    friend bool operator==(const CardKey&, const CardKey&) = default;
};

struct CardKeyHash {
    size_t operator()(const CardKey& key) const { return key.first; }
};

CardKey keyOf(QByteArrayView line)
{
    return {qHash(line, 0x6b657374), qHash(line, 0x72697821)};
}

using CardKeys = std::unordered_set<CardKey, CardKeyHash>;

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
    QByteArray cardFolder, counterFolder;
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
        if (file.name == kCardFile) cardFolder = file.folder;
        if (file.name == kCounterFile) counterFolder = file.folder;
    }
    // A copy that cannot be merged stays where it is, and the user's change
    // goes ahead: nothing is lost either way.
    if (!cardCopies.empty()) noteNotMerged(mergeCardCopies(cardFolder, std::move(cardCopies)));
    if (!counterCopies.empty()) noteNotMerged(mergeCounterCopies(counterFolder, std::move(counterCopies)));
    return FileStatus::success();
}

// Told once a run for each file and reason, not at every change.
void Module1::noteNotMerged(const FileStatus& status)
{
    if (status.ok() || !toldNotMerged_.insert(status.describe()).second) return;
    notices_.push_back({Notice::Kind::CopyNotMerged, status.file(), 0, status.reason()});
}

FileStatus Module1::mergeCardCopies(const QByteArray& folder, std::vector<QByteArray> copies)
{
    std::sort(copies.begin(), copies.end());
    CardKeys stored;
    QByteArray line;
    const FileStatus scanned = ScanCards(
        false,
        [&](const StoredCard& card, const QString&) {
            line.resize(0);
            card.appendLineTo(line);
            stored.insert(keyOf(line));
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    if (!scanned.ok() && !scanned.isMissing()) return scanned;

    QByteArray added;
    qint64 count = 0;
    QStringList merged;
    for (const QByteArray& copy : copies) {
        const QString name = QFile::decodeName(copy);
        int fd = -1;
        FileStatus status = posix::openForReading(QFile::decodeName(folder), name, fd);
        QByteArray mine;
        qint64 mineCount = 0;
        CardKeys mineKeys;
        if (status.ok()) {
            ItemReader reader(fd, name);
            StoredCard card;
            while (!reader.atEnd() && card.readFrom(reader)) {
                line.resize(0);
                card.appendLineTo(line);
                const CardKey key = keyOf(line);
                if (stored.count(key) || !mineKeys.insert(key).second) continue;
                mine += line;
                ++mineCount;
            }
            status = reader.status();
            (void)posix::closeFile(fd, name);
        }
        if (!status.ok()) {
            noteNotMerged(status);
            continue;
        }
        added += mine;
        count += mineCount;
        stored.insert(mineKeys.begin(), mineKeys.end());
        merged << name;
    }
    if (merged.isEmpty()) return FileStatus::success();
    if (!added.isEmpty()) {
        if (FileStatus appended = appendLines(added); !appended.ok()) return appended;
    }
    // Only once the merged cards are on the disk: until then the copies hold them.
    FileStatus removed = FileStatus::success();
    for (const QString& name : merged)
        removed.orFirstFailure(posix::removeCopy(folder + '/' + QFile::encodeName(name), name));
    notices_.push_back({Notice::Kind::Merged, merged.join(QStringLiteral(", ")), count, {}});
    return removed;
}

namespace {

// The counter's number, the last item of the file; nothing for a file
// without one. `status` tells why a file could not be read.
std::optional<QString> counterNumberIn(const QString& folder, const QString& name, FileStatus& status)
{
    int fd = -1;
    status = posix::openForReading(folder, name, fd);
    if (status.isMissing()) status = FileStatus::success();
    if (fd < 0) return std::nullopt;
    ItemReader reader(fd, name);
    std::optional<QString> number;
    QByteArray item;
    while (!reader.atEnd()) {
        item.clear();
        if (!reader.readItem(item)) break;
        number = decodeItem(item);
    }
    status = reader.status();
    (void)posix::closeFile(fd, name);
    return number;
}

} // namespace

FileStatus Module1::mergeCounterCopies(const QByteArray& folder, std::vector<QByteArray> copies)
{
    std::sort(copies.begin(), copies.end());
    FileStatus status = FileStatus::success();
    const std::optional<QString> own = counterNumberIn(directory_, kCounterFile, status);
    if (!status.ok()) return status;
    // Without a number of its own, any number a copy holds is larger.
    double largest = -std::numeric_limits<double>::infinity();
    if (own) largest = numberFromText(*own).value_or(largest);
    std::optional<QString> larger;
    QStringList merged;
    for (const QByteArray& copy : copies) {
        const QString name = QFile::decodeName(copy);
        const std::optional<QString> theirs = counterNumberIn(QFile::decodeName(folder), name, status);
        if (!status.ok()) {
            noteNotMerged(status);
            continue;
        }
        merged << name;
        const std::optional<double> value = theirs ? numberFromText(*theirs) : std::nullopt;
        if (value && *value > largest) {
            largest = *value;
            larger = theirs;
        }
    }
    if (larger) {
        if (FileStatus written = WriteCounter(*larger); !written.ok()) return written;
        notices_.push_back({Notice::Kind::CounterMerged, *larger, 0, {}});
    }
    FileStatus removed = FileStatus::success();
    for (const QString& name : merged)
        removed.orFirstFailure(posix::removeCopy(folder + '/' + QFile::encodeName(name), name));
    return removed;
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
