// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileStatus.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

namespace kestrix {

// The lock every Kestrix process takes before it changes a card file or steps
// its counter, so windows that work on one card file never lose each other's
// cards or issue one number twice: whichever folder they were started in,
// through whatever links they reach the file, as whichever user.
//
// It is held on a hidden lock file in each folder the files really lie in,
// after links (`.kest1.dat.lock`). The lock file is made so that exactly
// those who may change the cards may open it: a user who may only read the
// folder cannot hold the lock and block every change, as they could by
// locking the folder itself. Network file systems lock it too, since it is
// opened for writing. The kernel lets go of a lock when its process ends, so
// a killed Kestrix blocks nobody.
class ChangeLock {
public:
    // A folder to lock, the name of its lock file, and the file it guards
    // (whose owner may hold the lock even in a folder with the sticky bit).
    struct Place {
        QByteArray folder;
        QString lockFileName;
        QByteArray guardedFile;
    };

    // Takes the locks of `places`, in an order every process agrees on, waiting
    // for other processes to let go of them for at most `patience` in all. A
    // folder that is missing or on a read-only disk needs no lock, since no
    // change can happen there; on a file system without locks the change goes
    // on without one, and withoutLock() says so. A lock held too long is told
    // by who holds it, where the system says.
    static ChangeLock take(const std::vector<Place>& places, std::chrono::milliseconds patience);

    ChangeLock(ChangeLock&& other) noexcept;
    ChangeLock& operator=(ChangeLock&& other) = delete;
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;
    ~ChangeLock();

    // Success once the locks are held; otherwise why the change must not go on.
    const FileStatus& status() const { return status_; }
    // Whether a folder's file system could hold no lock at all: another window
    // changing the same cards at the same moment could undo this change.
    bool withoutLock() const { return withoutLock_; }

private:
    explicit ChangeLock(FileStatus status) : status_(std::move(status)) {}
    void release();

    std::vector<int> fds_;
    FileStatus status_;
    bool withoutLock_ = false;
};

} // namespace kestrix
