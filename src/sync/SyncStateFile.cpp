// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncStateFile.h"

#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

// Another user may write into a shared card folder: a state planted there
// would make this user's next sync delete or overwrite cards on the server.
FileStatus checkStateOwner(int fd, const QString& directory, const QString& name)
{
    struct stat info {};
    if (sys::fstat(fd, &info) != 0) return FileStatus::fromErrno(name, errno);
    struct stat folder {};
    if (sys::stat(QFile::encodeName(directory).constData(), &folder) != 0)
        return FileStatus::folderFailure(directory, errno);
    if (info.st_uid == ::geteuid() || info.st_uid == folder.st_uid) return FileStatus::success();
    return FileStatus::failure(name, QStringLiteral("it belongs to another user"));
}

FileStatus readStateBytes(int fd, const QString& name, QByteArray& bytes)
{
    char buffer[16384];
    for (;;) {
        const ssize_t got = sys::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FileStatus::fromErrno(name, errno);
        if (got == 0) return FileStatus::success();
        bytes.append(buffer, got);
    }
}

} // namespace

FileStatus loadSyncState(const QString& directory, const QString& name, SyncState& state)
{
    state = {};
    int fd = -1;
    // The path itself, so a link in the file's place is refused.
    FileStatus status = posix::openRegularPath(posix::pathOf(directory, name), name, O_RDONLY, fd);
    if (!status.ok()) return status;
    QByteArray bytes;
    status = checkStateOwner(fd, directory, name);
    if (status.ok()) status = readStateBytes(fd, name, bytes);
    status.orFirstFailure(posix::closeFile(fd, name));
    if (!status.ok()) return status;
    QString reason;
    if (!decodeSyncState(bytes, state, reason)) {
        state = {};
        return FileStatus::failure(name, QStringLiteral("it is damaged: %1").arg(reason));
    }
    return FileStatus::success();
}

FileStatus saveSyncState(const QString& directory, const QString& name, const SyncState& state)
{
    AtomicFile file(directory, name, Durability::Durable, Links::Replace);
    // Nothing else in the folder removes a copy a killed write left behind.
    file.keepNamelessWhileWritten();
    FileStatus status = file.open();
    if (status.ok()) status = file.write(encodeSyncState(state));
    return status.orFirstFailure(file.close());
}

} // namespace kestrix
