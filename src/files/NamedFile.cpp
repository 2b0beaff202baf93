// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "NamedFile.h"

#include "AtomicFile.h"
#include "PosixFile.h"
#include "SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrix {

namespace {

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Between naming a finished file and renaming it over the old one there is
// a moment a kill can still leave it under its hidden name: the next write
// of the same file removes such copies, if they are this user's own files.
void removeLeftoverCopies(const QByteArray& folder, const QByteArray& baseName)
{
    std::vector<QByteArray> names;
    if (!posix::listFolder(folder, names).ok()) return;
    for (const QByteArray& name : names) {
        if (!posix::isLeftoverCopyOf(name, baseName)) continue;
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        if (sys::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            (void)posix::removeCopy(path, posix::displayNameOf(name));
    }
}

} // namespace

QString displayNameOfPath(const QByteArray& path)
{
    return posix::displayNameOf(posix::baseNameOf(path));
}

FileStatus isSameFile(const QByteArray& path, const QString& directory, const QString& name, bool& same)
{
    same = false;
    posix::FileLocation location;
    if (FileStatus found = posix::followLinks(directory, name, location); !found.ok()) return found;
    struct stat mine {
    }, theirs{};
    if (::stat(path.constData(), &mine) == 0 && ::stat(location.path.constData(), &theirs) == 0) {
        same = sameInode(mine, theirs);
        return FileStatus::success();
    }
    // Neither there yet: the same folder and name.
    struct stat folder {
    }, theirFolder{};
    same = ::stat(posix::folderOf(path).constData(), &folder) == 0
        && ::stat(location.folder.constData(), &theirFolder) == 0 && sameInode(folder, theirFolder)
        && posix::baseNameOf(path) == posix::baseNameOf(location.path);
    return FileStatus::success();
}

NamedFileReader::~NamedFileReader()
{
    // Only read from: a failed close loses nothing.
    (void)posix::closeFile(fd_, name_);
}

FileStatus NamedFileReader::open(const QByteArray& path)
{
    Q_ASSERT(fd_ < 0);
    name_ = displayNameOfPath(path);
    posix::FileLocation location;
    FileStatus status = posix::followLinks(posix::folderOf(path), posix::baseNameOf(path), name_, location);
    // The open checks what the file is, and tells its size with it.
    posix::FileVersion version;
    if (status.ok()) status = posix::openRegularPath(location.path, name_, O_RDONLY, fd_, &version);
    if (status.ok()) size_ = version.size;
    return status;
}

qsizetype NamedFileReader::read(char* buffer, qsizetype capacity)
{
    Q_ASSERT(fd_ >= 0);
    for (;;) {
        const ssize_t got = sys::read(fd_, buffer, static_cast<size_t>(capacity));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        failure_ = FileStatus::fromErrno(name_, errno);
        return -1;
    }
}

NamedFileWriter::NamedFileWriter(const QByteArray& path)
    : path_(path),
      file_(std::make_unique<AtomicFile>(posix::folderOf(path), posix::baseNameOf(path), displayNameOfPath(path),
                                         Durability::Durable, Links::FollowOwn))
{
    file_->keepNamelessWhileWritten();
}

NamedFileWriter::~NamedFileWriter() = default;

FileStatus NamedFileWriter::open()
{
    removeLeftoverCopies(posix::folderOf(path_), posix::baseNameOf(path_));
    return file_->open();
}

FileStatus NamedFileWriter::write(QByteArrayView bytes)
{
    return file_->write(bytes);
}

FileStatus NamedFileWriter::close()
{
    return file_->close();
}

} // namespace kestrix
