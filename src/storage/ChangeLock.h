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
// It is held on the folders the files really lie in, after links. Every
// process that changes a file locks the same folder, which, unlike the file,
// is never replaced; and every user who may change the cards may open their
// folder, whatever files other users left in it. Where the file system cannot
// lock a folder (network file systems lock only files opened for writing), a
// hidden lock file in it stands in, made so that everyone who may write the
// folder may open it. The kernel lets go of a lock when its process ends, so
// a killed Kestrix blocks nobody.
class ChangeLock {
public:
    // A folder to lock, and the name of its stand-in lock file.
    struct Place {
        QByteArray folder;
        QString lockFileName;
    };

    // Takes the locks of `places`, in an order every process agrees on, waiting
    // for other processes to let go of them for at most `patience` in all. A
    // folder that is missing or on a read-only disk needs no lock, since no
    // change can happen there; on a file system without locks the change goes
    // on without one, and withoutLock() says so.
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
