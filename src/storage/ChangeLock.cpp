// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeLock.h"

#include "PosixFile.h"
#include "SystemCalls.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace kestrix {

namespace {

using Clock = std::chrono::steady_clock;

// What a folder is known by, whatever path led to it.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    friend auto operator<=>(const Identity&, const Identity&) = default;
};

// A folder to lock: its descriptor (-1 where it may not be opened) and where
// its stand-in lock file would lie.
struct Folder {
    Identity identity;
    int fd = -1;
    QByteArray lockFilePath;
    QString lockFileName;
};

enum class Outcome { Locked, Busy, Unsupported, Failed };

// Errors that say this file system holds no locks of this kind.
bool locksUnsupported(int error)
{
    return error == EBADF || error == EINVAL || error == ENOLCK || error == EOPNOTSUPP;
}

// Asked again and again rather than waited for: a blocking wait cannot give
// up in time. Often, since whoever asks first when the lock comes free gets
// it, and a long pause would let others go first over and over.
Outcome lockWithin(int fd, Clock::time_point deadline, int& error)
{
    for (;;) {
        if (sys::flock(fd, LOCK_EX | LOCK_NB) == 0) return Outcome::Locked;
        error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK) return locksUnsupported(error) ? Outcome::Unsupported : Outcome::Failed;
        if (Clock::now() >= deadline) return Outcome::Busy;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Who may change the cards may write their folder; the lock file grants them
// the same, whatever umask its maker had.
mode_t lockFileModeFor(const QByteArray& folder)
{
    struct stat info {};
    if (sys::stat(folder.constData(), &info) != 0) return 0600;
    mode_t mode = 0600;
    if (info.st_mode & S_IWGRP) mode |= 0060;
    if (info.st_mode & S_IWOTH) mode |= 0006;
    return mode;
}

// Opens the stand-in lock file, creating it when missing; never through a
// link, and never anything but a regular file. -1 with `status` set when it
// cannot be had; -1 with success where no change can happen anyway.
int openLockFile(const Folder& folder, FileStatus& status)
{
    const QByteArray& path = folder.lockFilePath;
    const QByteArray parent = posix::folderOf(path);
    int fd = sys::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) {
        status = FileStatus::success();
        if (sys::fchmod(fd, lockFileModeFor(parent)) != 0) status = FileStatus::fromErrno(folder.lockFileName, errno);
        status.orFirstFailure(posix::giveToFolderOwner(fd, parent, folder.lockFileName));
        if (status.ok()) return fd;
        sys::close(fd);
        return -1;
    }
    if (errno == EEXIST) fd = sys::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ELOOP || error == EISDIR || error == ENXIO) {
            if (sys::lstat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
                status = FileStatus::notAFile(folder.lockFileName, info.st_mode);
                return -1;
            }
        }
        // A folder that is gone, read-only or not ours to write holds no
        // change to collide with: the change meets that trouble itself.
        const bool noChangePossible = error == ENOENT || error == EROFS
            || ((error == EACCES || error == EPERM) && sys::access(parent.constData(), W_OK) != 0);
        status = noChangePossible ? FileStatus::success() : FileStatus::fromErrno(folder.lockFileName, error);
        return -1;
    }
    struct stat info {};
    if (sys::fstat(fd, &info) != 0)
        status = FileStatus::fromErrno(folder.lockFileName, errno);
    else if (!S_ISREG(info.st_mode))
        status = FileStatus::notAFile(folder.lockFileName, info.st_mode);
    else
        return fd;
    sys::close(fd);
    return -1;
}

} // namespace

ChangeLock ChangeLock::take(const std::vector<Place>& places, std::chrono::milliseconds patience)
{
    ChangeLock lock(FileStatus::success());
    std::vector<Folder> folders;
    const auto fail = [&](FileStatus why) {
        for (const Folder& folder : folders)
            if (folder.fd >= 0) sys::close(folder.fd);
        lock.release();
        lock.status_ = std::move(why);
        return std::move(lock);
    };

    for (const Place& place : places) {
        Folder folder{{}, -1, place.folder + '/' + QFile::encodeName(place.lockFileName), place.lockFileName};
        folder.fd = sys::open(place.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        const bool known = folder.fd >= 0 ? sys::fstat(folder.fd, &info) == 0
                                          : errno == EACCES && sys::stat(place.folder.constData(), &info) == 0;
        if (!known) {
            const int error = errno;
            if (folder.fd >= 0) sys::close(folder.fd);
            // A folder that is gone holds nothing to change.
            if (error == ENOENT) continue;
            return fail(FileStatus::folderFailure(QDir(QFile::decodeName(place.folder)).absolutePath(), error));
        }
        folder.identity = {info.st_dev, info.st_ino};
        const bool seen = std::any_of(folders.begin(), folders.end(),
                                      [&](const Folder& other) { return other.identity == folder.identity; });
        if (seen) {
            if (folder.fd >= 0) sys::close(folder.fd);
            continue;
        }
        folders.push_back(folder);
    }
    // The same order in every process, so two that need the same two folders
    // never each hold one and wait for the other.
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) { return a.identity < b.identity; });

    const Clock::time_point deadline = Clock::now() + patience;
    for (Folder& folder : folders) {
        int error = 0;
        Outcome outcome = folder.fd >= 0 ? lockWithin(folder.fd, deadline, error) : Outcome::Unsupported;
        if (outcome == Outcome::Unsupported) {
            if (folder.fd >= 0) sys::close(folder.fd);
            FileStatus opened = FileStatus::success();
            folder.fd = openLockFile(folder, opened);
            if (!opened.ok()) return fail(opened);
            if (folder.fd < 0) continue;
            outcome = lockWithin(folder.fd, deadline, error);
            if (outcome == Outcome::Unsupported) {
                lock.withoutLock_ = true;
                sys::close(folder.fd);
                folder.fd = -1;
                continue;
            }
        }
        if (outcome == Outcome::Busy) {
            return fail(FileStatus::busy(QStringLiteral("kest1.dat"),
                                         QStringLiteral("another Kestrix is busy with these cards")));
        }
        if (outcome == Outcome::Failed) return fail(FileStatus::fromErrno(folder.lockFileName, error));
        lock.fds_.push_back(folder.fd);
        folder.fd = -1;
    }
    return lock;
}

ChangeLock::ChangeLock(ChangeLock&& other) noexcept
    : fds_(std::move(other.fds_)), status_(std::move(other.status_)), withoutLock_(other.withoutLock_)
{
    other.fds_.clear();
}

// Closing the only descriptor of a lock lets go of it.
void ChangeLock::release()
{
    for (int fd : fds_) sys::close(fd);
    fds_.clear();
}

ChangeLock::~ChangeLock()
{
    release();
}

} // namespace kestrix
