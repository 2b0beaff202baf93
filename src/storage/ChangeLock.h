// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileStatus.h"

#include <QString>

#include <chrono>

namespace kestrix {

// The lock every Kestrix process takes before it changes the card file or
// steps the counter, so two windows on one folder never lose each other's
// cards or issue one number twice.
//
// It is an advisory lock on a file of its own in the working folder,
// ".kest1.dat.lock", which no operation ever replaces: the card file is
// renamed over on every rewrite, so a lock on it would be left behind on the
// old file. A lock file rather than a lock on the folder itself, since
// network file systems lock only files opened for writing. The kernel drops
// the lock when its process dies, so a killed Kestrix blocks nobody.
class ChangeLock {
public:
    // Takes the lock of `directory`, waiting for another process to let go of
    // it for at most `patience`. A folder whose file system cannot hold locks,
    // or where the lock file cannot be had, is worked in without one, as a
    // single window always could; the one failure is another process that
    // keeps the lock too long.
    static ChangeLock take(const QString& directory, std::chrono::milliseconds patience);

    ChangeLock(ChangeLock&& other) noexcept;
    ChangeLock& operator=(ChangeLock&& other) = delete;
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;
    ~ChangeLock();

    // Success once the lock is held; otherwise why the change must not go on.
    const FileStatus& status() const { return status_; }

private:
    explicit ChangeLock(FileStatus status) : status_(std::move(status)) {}

    int fd_ = -1;
    FileStatus status_;
};

} // namespace kestrix
