// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FileSlot.h"

#include "PosixFile.h"
#include "SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

FileSlot::~FileSlot()
{
    (void)close();
}

FileStatus FileSlot::openForReading(const QString& directory, const QString& name)
{
    (void)close();
    const FileStatus opened = posix::openForReading(directory, name, fd_);
    if (!opened.ok()) return opened;
    mode_ = Mode::Read;
    name_ = name;
    reader_ = std::make_unique<ItemReader>(fd_, name);
    return opened;
}

FileStatus FileSlot::openForWriting(const QString& directory, const QString& name, Durability durability, Links links)
{
    (void)close();
    auto writer = std::make_unique<AtomicFile>(directory, name, durability, links);
    const FileStatus opened = writer->open();
    if (!opened.ok()) return opened;
    mode_ = Mode::Write;
    name_ = name;
    writer_ = std::move(writer);
    return opened;
}

FileStatus FileSlot::openForAppending(const QString& directory, const QString& name)
{
    (void)close();
    posix::FileLocation location;
    if (FileStatus found = posix::followLinks(directory, name, location); !found.ok()) return found;
    const bool existed = sys::access(location.path.constData(), F_OK) == 0;
    // Open for reading too: the last byte tells whether the file ends mid-line.
    const FileStatus opened = posix::openRegularFile(directory, name, O_RDWR | O_APPEND | O_CREAT, fd_);
    if (!opened.ok()) return opened;
    struct stat info {};
    char last = '\n';
    ssize_t got = 1;
    if (sys::fstat(fd_, &info) != 0) got = -1;
    else if (info.st_size > 0) {
        do got = sys::pread(fd_, &last, 1, info.st_size - 1);
        while (got < 0 && errno == EINTR);
    }
    if (got != 1) {
        const int error = got < 0 ? errno : EIO;
        (void)posix::closeFile(fd_, name);
        return FileStatus::fromErrno(name, error);
    }
    mode_ = Mode::Append;
    name_ = name;
    appendStart_ = info.st_size;
    endsMidLine_ = last != '\r' && last != '\n';
    appendStatus_ = existed ? FileStatus::success() : posix::syncFolder(location.folder, name);
    return appendStatus_;
}

FileStatus FileSlot::write(QByteArrayView bytes)
{
    switch (mode_) {
    case Mode::Write:
        return writer_->write(bytes);
    case Mode::Append: {
        if (!appendStatus_.ok()) return appendStatus_;
        appendStatus_ = posix::writeAll(fd_, bytes, name_);
        if (appendStatus_.ok()) {
            appendStart_ += bytes.size();
        } else {
            // Take back whatever part of the line reached the file. Should that
            // fail too, the write's own failure is still the one to report.
            [[maybe_unused]] const int truncated = sys::ftruncate(fd_, appendStart_);
        }
        return appendStatus_;
    }
    case Mode::Closed:
    case Mode::Read:
        break;
    }
    return FileStatus::success();
}

FileStatus FileSlot::commitNow()
{
    if (mode_ != Mode::Write) return FileStatus::success();
    return writer_->commit();
}

void FileSlot::closeDiscarding()
{
    if (mode_ == Mode::Write && !writer_->committed()) {
        writer_.reset();
        mode_ = Mode::Closed;
        return;
    }
    (void)close();
}

FileStatus FileSlot::close()
{
    FileStatus status = FileStatus::success();
    switch (mode_) {
    case Mode::Write:
        status = writer_->close();
        writer_.reset();
        break;
    case Mode::Append:
        status = appendStatus_;
        if (status.ok() && sys::fsync(fd_) != 0) status = FileStatus::fromErrno(name_, errno);
        status.orFirstFailure(posix::closeFile(fd_, name_));
        break;
    case Mode::Read:
        reader_.reset();
        (void)posix::closeFile(fd_, name_);
        break;
    case Mode::Closed:
        break;
    }
    mode_ = Mode::Closed;
    appendStatus_ = FileStatus::success();
    endsMidLine_ = false;
    return status;
}

} // namespace kestrix
