// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FileSlot.h"

#include "history/ChangeRecording.h"

#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

// The last byte of the first `size` of `fd`, or a line feed for none.
FileStatus lastByteOf(int fd, qint64 size, const QString& name, char& last)
{
    last = '\n';
    while (size > 0) {
        const ssize_t got = sys::pread(fd, &last, 1, static_cast<off_t>(size - 1));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FileStatus::fromErrno(name, errno);
        if (got == 0) return FileStatus::failure(name, QStringLiteral("it became shorter while it was read"));
        break;
    }
    return FileStatus::success();
}

} // namespace

FileSlot::~FileSlot()
{
    (void)close();
}

FileStatus FileSlot::openForReading(const QString& directory, const QString& name)
{
    (void)close();
    replacedOnClose_ = false;
    posix::FileVersion version;
    const FileStatus opened = posix::openForReading(directory, name, fd_, &version);
    if (!opened.ok()) return opened;
    version_ = version;
    mode_ = Mode::Read;
    name_ = name;
    reader_ = std::make_unique<ItemReader>(fd_, name);
    return opened;
}

FileStatus FileSlot::openForWriting(const QString& directory, const QString& name, Durability durability, Links links)
{
    (void)close();
    replacedOnClose_ = false;
    auto writer = std::make_unique<AtomicFile>(directory, name, durability, links);
    const FileStatus opened = writer->open();
    if (!opened.ok()) return opened;
    mode_ = Mode::Write;
    name_ = name;
    writer_ = std::move(writer);
    return opened;
}

// Appending goes through a copy of the file that is renamed into place on
// close, like every other change: a line written in place could be cut short
// by a power cut, leaving half a card at the end of the file.
FileStatus FileSlot::openForAppending(const QString& directory, const QString& name)
{
    (void)close();
    replacedOnClose_ = false;
    auto writer = std::make_unique<AtomicFile>(directory, name, Durability::Durable, Links::Follow);
    FileStatus status = writer->open();
    if (!status.ok()) return status;
    char last = '\n';
    int fd = -1;
    posix::FileVersion version;
    const FileStatus opened = posix::openForReading(directory, name, fd, &version);
    if (opened.ok()) {
        // The old content is copied inside the kernel, or its blocks shared.
        status = writer->copyFrom(fd, 0, version.size, true);
        if (status.ok()) status = lastByteOf(fd, version.size, name, last);
        (void)posix::closeFile(fd, name);
    } else if (!opened.isMissing()) {
        status = opened;
    }
    if (!status.ok()) return status;
    mode_ = Mode::Append;
    name_ = name;
    writer_ = std::move(writer);
    recording_ = nullptr;
    appendedAt_ = opened.ok() ? static_cast<qint64>(version.size) : 0;
    endsMidLine_ = last != '\r' && last != '\n';
    if (opened.ok()) version_ = version;
    return status;
}

FileStatus FileSlot::copyRange(int source, qint64 offset, qint64 length)
{
    if (mode_ == Mode::Write || mode_ == Mode::Append) return writer_->copyFrom(source, offset, length);
    return FileStatus::success();
}

FileStatus FileSlot::copyWrittenTo(AtomicFile& target)
{
    if (mode_ != Mode::Write && mode_ != Mode::Append) return FileStatus::success();
    qint64 length = 0;
    const int content = writer_->contentSoFar(length);
    if (content < 0) return writer_->write({}); // says why
    return target.copyFrom(content, 0, length, true);
}

void FileSlot::recordAppendsTo(ChangeRecording& recording)
{
    Q_ASSERT(mode_ == Mode::Append);
    recording_ = &recording;
    writer_->setBeforePlacing([&recording](const posix::FileVersion& placed) { return recording.finish(placed); });
}

FileStatus FileSlot::write(QByteArrayView bytes)
{
    if (mode_ == Mode::Append && recording_) {
        if (FileStatus recorded = recording_->added(appendedAt_, bytes); !recorded.ok()) return recorded;
        appendedAt_ += bytes.size();
    }
    if (mode_ == Mode::Write || mode_ == Mode::Append) return writer_->write(bytes);
    return notOpenForWriting();
}

FileStatus FileSlot::commitNow()
{
    if (mode_ != Mode::Write) return notOpenForWriting();
    return writer_->commit();
}

// Bytes that went nowhere must not pass for stored ones.
FileStatus FileSlot::notOpenForWriting() const
{
    return FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
}

void FileSlot::closeDiscarding()
{
    recording_ = nullptr;
    if ((mode_ == Mode::Write || mode_ == Mode::Append) && !writer_->committed()) {
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
    case Mode::Append:
        status = writer_->close();
        replacedOnClose_ = writer_->committed();
        writer_.reset();
        break;
    case Mode::Read:
        reader_.reset();
        (void)posix::closeFile(fd_, name_);
        break;
    case Mode::Closed:
        break;
    }
    mode_ = Mode::Closed;
    endsMidLine_ = false;
    version_.reset();
    recording_ = nullptr;
    return status;
}

} // namespace kestrix
