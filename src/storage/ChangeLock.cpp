// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeLock.h"

#include "PosixFile.h"
#include "SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrix {

namespace {

// Hidden, as it is no file of the user's: the folder shows the three files
// it always did.
const QString kLockFile = QStringLiteral(".kest1.dat.lock");

// Errors that say no lock can be had here, rather than that something went
// wrong: a folder that is gone or read-only, a lock file of another user's,
// a file system without locks.
bool noLockHere(int error)
{
    return error == ENOENT || error == EACCES || error == EPERM || error == EROFS || error == ENOLCK
        || error == EOPNOTSUPP || error == EINVAL || error == EBADF;
}

// Opens the lock file, creating it when missing; never through a link, and
// never anything but a regular file. -1 with `error` set when it cannot be had.
int openLockFile(const QString& directory, int& error)
{
    const QByteArray path = posix::pathOf(directory, kLockFile);
    int fd = sys::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    // Another user's lock file in a shared folder may be read-only to us;
    // locking needs no write access on a local disk.
    if (fd < 0 && errno == EACCES) fd = sys::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A link in the lock file's place (O_NOFOLLOW) is no lock file.
        error = errno == ELOOP ? EINVAL : errno;
        return -1;
    }
    struct stat info {};
    if (sys::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = EINVAL;
    else
        return fd;
    sys::close(fd);
    return -1;
}

} // namespace

ChangeLock ChangeLock::take(const QString& directory, std::chrono::milliseconds patience)
{
    // Where no lock can be had (a folder that is gone or read-only, a file
    // system without locks), the change goes on as a single window's always
    // did, and meets the same trouble with its own file if there is any.
    int error = 0;
    const int fd = openLockFile(directory, error);
    if (fd < 0) {
        if (noLockHere(error)) return ChangeLock(FileStatus::success());
        return ChangeLock(FileStatus::fromErrno(kLockFile, error));
    }

    const auto deadline = std::chrono::steady_clock::now() + patience;
    // Asked again and again rather than waited for: a blocking wait cannot
    // give up in time. Often, since whoever asks first when the lock comes
    // free gets it, and a long pause would let others go first over and over.
    constexpr auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (sys::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ChangeLock lock(FileStatus::success());
            lock.fd_ = fd;
            return lock;
        }
        const int failed = errno;
        if (failed == EINTR) continue;
        if (failed != EWOULDBLOCK) {
            sys::close(fd);
            if (noLockHere(failed)) return ChangeLock(FileStatus::success());
            return ChangeLock(FileStatus::fromErrno(kLockFile, failed));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            sys::close(fd);
            return ChangeLock(FileStatus::failure(QStringLiteral("kest1.dat"),
                                                  QStringLiteral("another Kestrix is busy with these cards")));
        }
        std::this_thread::sleep_for(pause);
    }
}

ChangeLock::ChangeLock(ChangeLock&& other) noexcept : fd_(other.fd_), status_(other.status_)
{
    other.fd_ = -1;
}

// Closing the only descriptor of the lock file lets go of the lock.
ChangeLock::~ChangeLock()
{
    if (fd_ >= 0) sys::close(fd_);
}

} // namespace kestrix
