// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QStringList>

#include <set>
#include <vector>

namespace kestrix {

class FileStatus;

// What the user should hear beside how a change went:
// - WithoutLock (once a run): the change went on without a lock, as the
//   file system holds none; `where` is the folder.
// - OtherNames (once a run): the card file has `count` other names (hard
//   links), which keep the cards as they were before.
// - Merged: `count` cards from the conflict copies named in `where` were
//   added to the card file (0 when they held none it lacked); `cards`
//   names them where the merge knew what the other computer did.
// - MergeChanged: `count` cards, named in `cards`, now hold the version the
//   other computer changed them to.
// - MergeRemoved: `count` cards, named in `cards`, went from the card file:
//   the other computer deleted them.
// - MergeBothChanged: `count` cards were changed on both computers: both
//   versions stay, the other computer's under a fresh number (`cards`).
// - MergeKeptChanged: `count` cards deleted on one computer and changed on
//   the other stay (`cards`).
// - MergeStayedDeleted: `count` cards of the copy stay deleted, as they were
//   deleted here (`cards`).
// - MergeSameNumber: `count` cards of the copy, named in `cards`, hold a
//   number that another card here holds too: both stay.
// - CounterMerged: the counter took the number `where` from a copy.
// - CopyNotMerged: the copy `where` was left where it is, for `reason`;
//   told once a run.
// - CopyNotRemoved: the copy `where` was merged but could not be removed,
//   for `reason`; it is not merged again while the program runs.
struct CardFileNotice {
    enum class Kind {
        WithoutLock,
        OtherNames,
        Merged,
        CounterMerged,
        CopyNotMerged,
        CopyNotRemoved,
        MergeChanged,
        MergeRemoved,
        MergeBothChanged,
        MergeKeptChanged,
        MergeStayedDeleted,
        MergeSameNumber
    };
    Kind kind;
    QString where;
    qint64 count = 0;
    QString reason;
    QStringList cards = {};
    // CopyNotMerged for a folder that failed: the system's error, so the
    // folder is named as a folder.
    int folderError = 0;
};

// The notices gathered until the windows ask for them.
class Notices {
public:
    void add(CardFileNotice notice);
    // Only the first of its kind in a run is told.
    void addOnce(CardFileNotice notice);
    // A copy left unmerged, for the reason `status` gives; told once a run
    // for each copy.
    void notMerged(const FileStatus& status);
    std::vector<CardFileNotice> take();

private:
    std::vector<CardFileNotice> gathered_;
    std::set<CardFileNotice::Kind> told_;
    std::set<QString> toldNotMerged_;
};

} // namespace kestrix
