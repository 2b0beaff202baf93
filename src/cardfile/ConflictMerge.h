// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFile.h"
#include "CardFolder.h"
#include "ChangeLocking.h"
#include "Counter.h"
#include "Notices.h"
#include "card/CardKeySet.h"
#include "files/PosixFile.h"
#include "history/ChangeRecording.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>
#include <QStringList>

#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace kestrix {

class MergeKnowledge;

// What every change does first, with the lock held: it tidies the folders
// the files lie in. Copies that killed changes left are removed, and the
// copies a sync engine made when two computers changed the cards while apart
// are merged in, so no card stored on either computer is lost.
class ConflictMerge {
public:
    ConflictMerge(CardFolder& folder, CardFile& cards, Counter& counter, Notices& notices, ChangeRecording& recording)
        : folder_(folder), cards_(cards), counter_(counter), notices_(notices), recording_(recording)
    {}

    // Removes the copies killed changes left beside `files` (unless the
    // change goes on without a lock, when such a copy could be another
    // window's live change), and merges the conflict copies in.
    FileStatus tidy(const std::vector<PlacedFile>& files, bool withoutLock);
    // Whether a conflict copy lies beside the card or counter file; looked
    // for without the lock, which is taken only where there is work.
    FileStatus anyCopies(bool& found) const;

private:
    // A copy found fit to merge, open for reading. Closed when it goes.
    struct ConflictCopy {
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

    // The copies named `names` of `file`, less those that may not be merged:
    // those are told, and left where they are.
    std::vector<ConflictCopy> copiesToMerge(const PlacedFile& file, std::vector<QByteArray> names);
    FileStatus mayMerge(const ConflictCopy& copy, const struct stat& info, const PlacedFile& file,
                        const struct stat* original, const struct stat& folder) const;
    // The copies merged in; each merged copy is removed.
    FileStatus mergeCardCopies(std::vector<ConflictCopy> copies);
    FileStatus keysOfStoredCards(CardKeySet& keys);
    FileStatus appendNewCards(std::vector<ConflictCopy>& copies, CardKeySet& keys, FileSlot& slot, qint64& added,
                              std::optional<size_t>& unreadable);
    // With the records of what the other computer did: see
    // ConflictMergeThreeWay.cpp.
    struct CopyCards {
        CardKeySet keys;           // every card the copies hold
        CardKeySet versions;       // the number and contact of each, by textKey
        QByteArrayList coming;     // those this file lacks that come
        QStringList stayedDeleted; // those this file lacks that were deleted here
        std::optional<double> largestNumber;
    };
    FileStatus mergeThreeWay(std::vector<ConflictCopy>& copies, const MergeKnowledge& knowledge,
                             std::optional<size_t>& unreadable);
    FileStatus cardsOfCopies(std::vector<ConflictCopy>& copies, const CardKeySet& here, const MergeKnowledge& knowledge,
                             CopyCards& cards, std::optional<size_t>& unreadable);
    FileStatus cardsGoingFromHere(const CopyCards& copies, const MergeKnowledge& knowledge, CardKeySet& going,
                                  CardKeySet& staying, CardKeySet& numbersStaying, QStringList& names,
                                  QStringList& keptChanged);
    FileStatus freshNumber(const CopyCards& theirs, QString& number);
    static QByteArray renumbered(QByteArrayView line, const QString& number, const QString& from);
    void tellThreeWay(const QString& from, const QStringList& added, const QStringList& removed,
                      const QStringList& bothChanged, const QStringList& keptChanged, const QStringList& stayedDeleted);
    FileStatus mergeTwoWay(std::vector<ConflictCopy>& copies, std::optional<size_t>& unreadable);

    FileStatus mergeCounterCopies(std::vector<ConflictCopy> copies);
    FileStatus counterFloor(std::optional<double>& floor);
    void removeMerged(const std::vector<ConflictCopy>& copies);

    CardFolder& folder_;
    CardFile& cards_;
    Counter& counter_;
    Notices& notices_;
    ChangeRecording& recording_;
    // Copies merged that could not be removed, by device and inode: merged
    // again, they would bring back every card deleted since.
    std::set<std::pair<dev_t, ino_t>> mergedButKept_;
};

} // namespace kestrix
