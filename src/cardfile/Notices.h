// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

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
//   added to the card file (0 when they held none it lacked).
// - CounterMerged: the counter took the number `where` from a copy.
// - CopyNotMerged: the copy `where` was left where it is, for `reason`;
//   told once a run.
// - CopyNotRemoved: the copy `where` was merged but could not be removed,
//   for `reason`; it is not merged again while the program runs.
struct CardFileNotice {
    enum class Kind { WithoutLock, OtherNames, Merged, CounterMerged, CopyNotMerged, CopyNotRemoved };
    Kind kind;
    QString where;
    qint64 count = 0;
    QString reason;
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
