// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FileStatus.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kestrix {

FileStatus FileStatus::missing(const QString& file)
{
    return FileStatus(Kind::Missing, file, QStringLiteral("the file does not exist"));
}

FileStatus FileStatus::failure(const QString& file, const QString& reason)
{
    return FileStatus(Kind::Failed, file, reason);
}

FileStatus FileStatus::fromErrno(const QString& file, int error)
{
    FileStatus status = failure(file, QString::fromLocal8Bit(std::strerror(error)));
    status.error_ = error;
    status.mayPass_ = error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
    return status;
}

FileStatus FileStatus::folderFailure(const QString& folder, int error)
{
    FileStatus status = fromErrno(folder, error);
    status.folder_ = true;
    return status;
}

FileStatus FileStatus::busy(const QString& file, const QString& reason)
{
    FileStatus status = failure(file, reason);
    status.mayPass_ = true;
    return status;
}

FileStatus FileStatus::notAFile(const QString& file, mode_t mode)
{
    if (S_ISDIR(mode)) return failure(file, QStringLiteral("it is a folder, not a file"));
    if (S_ISFIFO(mode)) return failure(file, QStringLiteral("it is a named pipe, not a file"));
    if (S_ISCHR(mode) || S_ISBLK(mode)) return failure(file, QStringLiteral("it is a device, not a file"));
    if (S_ISSOCK(mode)) return failure(file, QStringLiteral("it is a socket, not a file"));
    if (S_ISLNK(mode)) return failure(file, QStringLiteral("it is a symbolic link, not a file"));
    return failure(file, QStringLiteral("it is not a regular file"));
}

QString FileStatus::describe() const
{
    if (ok()) return QStringLiteral("success");
    return file_ + QStringLiteral(": ") + reason_;
}

} // namespace kestrix
