// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ItemReader.h"
#include "files/AtomicFile.h"
#include "files/FileStatus.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <sys/types.h>

namespace kestrix {

class ChangeRecording;

// One of the two numbered places a file is opened in. A slot holds at most one
// file, in one mode:
// - Read: items are read through reader();
// - Write: the file is replaced whole when the slot closes, or at once with
//   commitNow(); until then the old file stays as it was;
// - Append: lines go after a copy of the file, which replaces it whole when
//   the slot closes; a failed write leaves the old file as it was.
class FileSlot {
public:
    enum class Mode { Closed, Read, Write, Append };

    FileSlot() = default;
    ~FileSlot();
    FileSlot(const FileSlot&) = delete;
    FileSlot& operator=(const FileSlot&) = delete;

    Mode mode() const { return mode_; }
    const QString& fileName() const { return name_; }

    // Each open first closes what the slot held.
    FileStatus openForReading(const QString& directory, const QString& name);
    FileStatus openForWriting(const QString& directory, const QString& name, Durability durability, Links links);
    FileStatus openForAppending(const QString& directory, const QString& name);

    // Whether the file open for appending ends without a line end, as a file
    // edited by hand or written by another program may.
    bool endsMidLine() const { return endsMidLine_; }

    // The version of the file open for reading, or of the file whose content
    // the slot open for appending starts with; nothing when there was none.
    const std::optional<posix::FileVersion>& version() const { return version_; }

    // Whether the last file written or appended to here was put in place when
    // the slot closed, even if a later step (syncing its folder) failed.
    bool replacedOnClose() const { return replacedOnClose_; }

    // How many other names the file being replaced has (see AtomicFile).
    nlink_t otherNamesOfTarget() const { return writer_ ? writer_->otherNames() : 0; }

    // What is appended from now on goes to `recording` too, with where it
    // stands in the new file; its record is ended on the disk just before
    // the file is put in place. For a slot open for appending.
    void recordAppendsTo(ChangeRecording& recording);

    // Writing to a slot with no file open for writing writes nothing, and
    // says so.
    FileStatus write(QByteArrayView bytes);
    // Writes `length` bytes of the file open as `source`, from `offset` on,
    // copied inside the kernel where it can be (AtomicFile::copyFrom).
    FileStatus copyRange(int source, qint64 offset, qint64 length);
    // Adds all written here so far to `target`, sharing its blocks where the
    // file system can.
    FileStatus copyWrittenTo(AtomicFile& target);

    // The descriptor of the file open for reading, for copying stretches of it.
    int descriptor() const { return mode_ == Mode::Read ? fd_ : -1; }
    // Puts what was written in place now; a failure for a slot not open for
    // writing (appended lines go in place on close).
    FileStatus commitNow();
    // Finishes what was written (replace, or sync the appended lines) and closes.
    FileStatus close();
    // Closes without putting what was written in place (Write mode).
    void closeDiscarding();

    // The reader of a slot open for reading; null otherwise.
    ItemReader* reader() { return reader_.get(); }

private:
    FileStatus notOpenForWriting() const;

    Mode mode_ = Mode::Closed;
    QString name_;
    int fd_ = -1;
    bool endsMidLine_ = false;
    std::optional<posix::FileVersion> version_;
    bool replacedOnClose_ = false;
    std::unique_ptr<ItemReader> reader_;
    std::unique_ptr<AtomicFile> writer_;
    ChangeRecording* recording_ = nullptr;
    qint64 appendedAt_ = 0; // where the next appended byte stands
};

} // namespace kestrix
