// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>
#include <QString>

#include <sys/types.h>

namespace kestrix {

// The outcome of one file operation: success, a file that does not exist, or
// a failure with a reason. Every failure names the file it concerns, so a
// handler can tell the user what went wrong and where.
class [[nodiscard]] FileStatus {
public:
    enum class Kind { Ok, Missing, Failed };

    static FileStatus success() { return FileStatus(Kind::Ok, {}, {}); }
    static FileStatus missing(const QString& file);
    static FileStatus failure(const QString& file, const QString& reason);
    // A failure whose reason is the system's text for an errno value.
    static FileStatus fromErrno(const QString& file, int error);
    // A failure for something other than a regular file in the file's place;
    // `mode` is its st_mode, and the reason says what it is.
    static FileStatus notAFile(const QString& file, mode_t mode);
    // A failure that lies with a folder, not a file in it: it may not be
    // written, or it is on a read-only disk. `folder` is the folder's path.
    static FileStatus folderFailure(const QString& folder, int error);
    // Another process holds what this one needs: it will pass.
    static FileStatus busy(const QString& file, const QString& reason);

    bool ok() const { return kind_ == Kind::Ok; }
    bool isMissing() const { return kind_ == Kind::Missing; }
    Kind kind() const { return kind_; }
    // The file, or for a folder failure the folder.
    const QString& file() const { return file_; }
    const QString& reason() const { return reason_; }
    bool concernsFolder() const { return folder_; }
    // The errno value behind the failure, or 0.
    int error() const { return error_; }
    // Whether trying again in a moment may succeed: a busy lock, an
    // interrupted or temporarily refused call. Anything else stays until
    // someone mends it.
    bool mayPass() const { return mayPass_; }

    // "kest1.dat: No space left on device"
    QString describe() const;

    // Keeps the first failure of a sequence of steps.
    FileStatus& orFirstFailure(const FileStatus& next)
    {
        if (ok() && !next.ok()) *this = next;
        return *this;
    }

private:
    FileStatus(Kind kind, QString file, QString reason)
        : kind_(kind), file_(std::move(file)), reason_(std::move(reason))
    {}

    Kind kind_;
    QString file_;
    QString reason_;
    int error_ = 0;
    bool folder_ = false;
    bool mayPass_ = false;
};

namespace posix {
// A file name for a message: its bytes as UTF-8, with any byte that is not
// part of UTF-8 shown as \xNN, so no two names look alike.
QString displayNameOf(QByteArrayView path);
} // namespace posix

} // namespace kestrix
