// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileStatus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace kestrix {

class AtomicFile;

// The file layer as the import and export see it: a file the user names by
// its path, read a stretch at a time or written whole, with the care for
// links and planted files the card file gets. Paths are bytes, as the file
// system has them.

// The last part of `path`, as a message shows it.
QString displayNameOfPath(const QByteArray& path);

// Whether `path` is, or after links leads to, the file `name` in `directory`
// (or would be, where neither exists yet). A failure where the place of
// `name` cannot be told.
FileStatus isSameFile(const QByteArray& path, const QString& directory, const QString& name, bool& same);

// A file to read, which must be a regular file. A link on the way is
// followed only where its maker could have changed what it leads to.
class NamedFileReader {
public:
    NamedFileReader() = default;
    ~NamedFileReader();
    NamedFileReader(const NamedFileReader&) = delete;
    NamedFileReader& operator=(const NamedFileReader&) = delete;

    FileStatus open(const QByteArray& path);
    // Up to `capacity` bytes into `buffer`: how many, 0 at the end, or -1
    // with the reason in failure().
    qsizetype read(char* buffer, qsizetype capacity);
    const FileStatus& failure() const { return failure_; }
    qint64 size() const { return size_; }

private:
    int fd_ = -1;
    QString name_;
    qint64 size_ = 0;
    FileStatus failure_ = FileStatus::success();
};

// A file written whole or not at all: a copy beside it, without a name
// until it is complete and renamed over the file, so a kill leaves nothing
// behind; copies an earlier kill left are removed. A link is followed only
// where this user made it.
class NamedFileWriter {
public:
    explicit NamedFileWriter(const QByteArray& path);
    ~NamedFileWriter(); // without close(), the copy goes and the file stays
    NamedFileWriter(const NamedFileWriter&) = delete;
    NamedFileWriter& operator=(const NamedFileWriter&) = delete;

    FileStatus open();
    FileStatus write(QByteArrayView bytes);
    FileStatus close();

private:
    QByteArray path_;
    std::unique_ptr<AtomicFile> file_;
};

} // namespace kestrix
