// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FileStatus.h"

#include <cstring>

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

QString FileStatus::describe() const
{
    if (ok()) return QStringLiteral("success");
    return file_ + QStringLiteral(": ") + reason_;
}

} // namespace kestrix
