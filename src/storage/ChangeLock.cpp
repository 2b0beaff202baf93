// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeLock.h"

#include "PosixFile.h"

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

// Opens the lock file, creating it when missing; never through a link, and
// never anything but a regular file. -1 when it cannot be had.
int openLockFile(const QString& directory)
{
    const QByteArray path = posix::pathOf(directory, kLockFile);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    // Another user's lock file in a shared folder may be read-only to us;
    // locking needs no write access on a local disk.
    if (fd < 0 && errno == EACCES) fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

ChangeLock ChangeLock::take(const QString& directory, std::chrono::milliseconds patience)
{
    // Where no lock can be had (a folder that is gone or read-only, a file
    // system without locks), the change goes on as a single window's always
    // did, and meets the same trouble with its own file if there is any.
    const int fd = openLockFile(directory);
    if (fd < 0) return ChangeLock(FileStatus::success());

    const auto deadline = std::chrono::steady_clock::now() + patience;
    // Asked again and again rather than waited for: a blocking wait cannot
    // give up in time. Often, since whoever asks first when the lock comes
    // free gets it, and a long pause would let others go first over and over.
    constexpr auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ChangeLock lock(FileStatus::success());
            lock.fd_ = fd;
            return lock;
        }
        const int failed = errno;
        if (failed == EINTR) continue;
        if (failed != EWOULDBLOCK) {
            ::close(fd);
            return ChangeLock(FileStatus::success());
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
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

ChangeLock& ChangeLock::operator=(ChangeLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        status_ = other.status_;
        other.fd_ = -1;
    }
    return *this;
}

// Closing the only descriptor of the lock file lets go of the lock.
ChangeLock::~ChangeLock()
{
    if (fd_ >= 0) ::close(fd_);
}

} // namespace kestrix
