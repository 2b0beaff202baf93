// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FileStatus.h"

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
    return failure(file, QString::fromLocal8Bit(std::strerror(error)));
}

FileStatus FileStatus::notAFile(const QString& file, mode_t mode)
{
    if (S_ISDIR(mode)) return failure(file, QStringLiteral("it is a folder, not a file"));
    if (S_ISFIFO(mode)) return failure(file, QStringLiteral("it is a named pipe, not a file"));
    if (S_ISCHR(mode) || S_ISBLK(mode)) return failure(file, QStringLiteral("it is a device, not a file"));
    if (S_ISSOCK(mode)) return failure(file, QStringLiteral("it is a socket, not a file"));
    return failure(file, QStringLiteral("it is not a regular file"));
}

QString FileStatus::describe() const
{
    if (ok()) return QStringLiteral("success");
    return file_ + QStringLiteral(": ") + reason_;
}

} // namespace kestrix
