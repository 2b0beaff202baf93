// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>

#include <vector>

#include <sys/types.h>

namespace kestrix::testing {

// The system calls the storage makes, as the test suite's version of them
// counts them.
enum class Call {
    Open,
    Mkostemp,
    Close,
    Read,
    Pread,
    Write,
    Ftruncate,
    Lseek,
    CopyFileRange,
    Ioctl,
    Fsync,
    Fstat,
    Stat,
    Lstat,
    Access,
    Faccessat,
    Fchmod,
    Fchown,
    Fcntl,
    Rename,
    Unlink,
    Readlink,
    Flock,
    Opendir,
    Readdir,
    Closedir,
    Linkat
};

const char* nameOf(Call call);

// Fails one chosen system call of the storage. While counting, every call is
// counted; the call with the chosen number fails with the chosen error
// instead of being made.
class SystemCallFaults {
public:
    // Counts the calls from now on and fails call `n` (from 1) with `error`;
    // n = 0 fails none.
    static void start(long n, int error);
    static void stop();
    // Fails every call of `call` with `error` until stop(), as a file system
    // that cannot do it would: flock on one without locks, say.
    static void failEvery(Call call, int error);
    // Fails every flock of a folder with EBADF until stop(), as a network file
    // system does: it locks only files opened for writing.
    static void failFolderLocks();
    // The calls counted since start(), in order.
    static const std::vector<Call>& calls();
    // Whether the chosen call was reached (and failed).
    static bool struck();
};

// One step a storage operation took on the disk, in a folder of interest,
// as the power-cut simulation needs it. Files are named by their inode, so a
// rename does not lose track of them.
struct DiskStep {
    enum Kind { Create, Write, Truncate, SyncFile, SyncFolder, Rename, Unlink };
    Kind kind;
    QByteArray name;   // Create, Rename (from), Unlink: a name in the folder
    QByteArray name2;  // Rename: the new name
    ino_t inode = 0;   // Create, Write, Truncate, SyncFile
    qint64 offset = 0; // Write: where; Truncate: the new length
    QByteArray data;   // Write
};

// Records the steps taken on the files of one folder.
class DiskRecorder {
public:
    static void start(const QByteArray& folder);
    static std::vector<DiskStep> stop();
};

} // namespace kestrix::testing
