// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "AtomicFile.h"

#include "SystemCalls.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

constexpr qsizetype kFlushThreshold = 256 * 1024;

// The new file keeps the permissions of the one it replaces; a new file, or
// one that replaces a link, gets the usual ones for the user's umask. Returns
// 0, or why the old file's permissions could not be read.
int modeFor(const QByteArray& targetPath, mode_t& mode)
{
    struct stat info {};
    if (sys::lstat(targetPath.constData(), &info) != 0) {
        if (errno != ENOENT) return errno;
    } else if (S_ISREG(info.st_mode)) {
        mode = info.st_mode & 07777;
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    return 0;
}

} // namespace

AtomicFile::AtomicFile(QString directory, QString name, Durability durability, Links links)
    : directory_(std::move(directory)), name_(std::move(name)), durability_(durability), links_(links)
{}

AtomicFile::~AtomicFile()
{
    if (!committed_) discard();
    (void)posix::closeFile(fd_, name_);
}

FileStatus AtomicFile::open()
{
    if (links_ == Links::Follow) {
        status_ = posix::followLinks(directory_, name_, target_);
        if (!status_.ok()) return status_;
    } else {
        target_ = {QFile::encodeName(directory_), posix::pathOf(directory_, name_)};
    }
    // Only a file the user may write is replaced; a folder, pipe, device or
    // socket in its place is refused, not swept away.
    struct stat info {};
    if (sys::lstat(target_.path.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            return status_ = FileStatus::notAFile(name_, info.st_mode);
        if (S_ISREG(info.st_mode) && sys::faccessat(AT_FDCWD, target_.path.constData(), W_OK, AT_EACCESS) != 0)
            return status_ = FileStatus::fromErrno(name_, errno);
    } else if (errno != ENOENT) {
        return status_ = FileStatus::fromErrno(name_, errno);
    }
    tempPath_ = target_.path + ".XXXXXX";
    fd_ = sys::mkostemp(tempPath_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        tempPath_.clear();
        status_ = posix::creationFailure(name_, errno);
        return status_;
    }
    return FileStatus::success();
}

FileStatus AtomicFile::write(QByteArrayView data)
{
    if (!status_.ok()) return status_;
    if (fd_ < 0 || committed_)
        return status_ = FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
    pending_.append(data);
    if (pending_.size() >= kFlushThreshold) return flush();
    return FileStatus::success();
}

FileStatus AtomicFile::flush()
{
    if (!pending_.isEmpty() && status_.ok()) status_ = posix::writeAll(fd_, pending_, name_);
    pending_.resize(0); // keeps the buffer for the next round
    return status_;
}

FileStatus AtomicFile::commit()
{
    if (committed_) return status_;
    if (fd_ < 0 && status_.ok())
        status_ = FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
    if (flush().ok()) {
        mode_t mode = 0;
        if (const int error = modeFor(target_.path, mode); error != 0)
            status_ = FileStatus::fromErrno(name_, error);
        else if (sys::fchmod(fd_, mode) != 0)
            status_ = FileStatus::fromErrno(name_, errno);
        else if (durability_ == Durability::Durable && sys::fsync(fd_) != 0)
            status_ = FileStatus::fromErrno(name_, errno);
        else if (sys::rename(tempPath_.constData(), target_.path.constData()) != 0)
            status_ = FileStatus::fromErrno(name_, errno);
        else {
            committed_ = true;
            if (durability_ == Durability::Durable) status_ = posix::syncFolder(target_.folder, name_);
        }
    }
    if (!committed_) discard();
    return status_;
}

FileStatus AtomicFile::close()
{
    FileStatus status = committed_ ? status_ : commit();
    return status.orFirstFailure(posix::closeFile(fd_, name_));
}

void AtomicFile::discard()
{
    if (!tempPath_.isEmpty()) sys::unlink(tempPath_.constData());
    tempPath_.clear();
    (void)posix::closeFile(fd_, name_);
}

} // namespace kestrix
