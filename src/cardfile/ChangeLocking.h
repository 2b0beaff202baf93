// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFolder.h"
#include "Notices.h"
#include "files/ChangeLock.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

namespace kestrix {

// A file a change may touch: its name here, and where it really lies.
struct PlacedFile {
    QString name;
    QByteArray folder;
    QByteArray baseName;
};

// The folders' change lock as one process holds it: taken by the first of
// nested changes, let go by the last.
class ChangeLocking {
public:
    ChangeLocking(const CardFolder& folder, Notices& notices) : folder_(folder), notices_(notices) {}

    enum class Entered { AlreadyHeld, Taken };
    // Takes the lock of the folders the card and counter files really lie
    // in, waiting at most `patience` for another process; or, where this
    // process holds it already, holds it one change longer.
    FileStatus enter(std::chrono::milliseconds patience, Entered& how);
    void leave();
    // Whether this process holds the lock now.
    bool held() const { return depth_ > 0; }

    // Where the files lie, as the lock was last taken.
    const std::vector<PlacedFile>& placed() const { return placed_; }
    // Whether the file system could hold no lock (see ChangeLock).
    bool withoutLock() const { return lock_ && lock_->withoutLock(); }

private:
    const CardFolder& folder_;
    Notices& notices_;
    std::optional<ChangeLock> lock_;
    std::vector<PlacedFile> placed_;
    int depth_ = 0;
};

} // namespace kestrix
