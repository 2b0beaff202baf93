// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileStatus.h"
#include "PosixFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <sys/stat.h>

namespace kestrix {

// Whether a file must survive a power cut once it is in place. The scratch
// file need not: the card file is built from it before the program goes on.
enum class Durability { Scratch, Durable };

// What a symbolic link in the target's place stands for. The user's own files
// follow it, so the file it names gets the new content and the link stays
// (FollowOwn: only a link the user made, for a file named by the user that
// another may have planted a link at); the scratch file replaces it, so no
// planted link makes the program overwrite the file it points to.
enum class Links { Replace, Follow, FollowOwn };

// Replaces a file as a whole or not at all. The new content goes to a sibling
// temporary file that is renamed over the target on commit, so a crash, a full
// disk or a size limit leaves the old file as it was. The temporary file lies
// in the same folder as the file it replaces, so the rename is one step.
class AtomicFile {
public:
    AtomicFile(const QString& directory, const QString& name, Durability durability, Links links = Links::Replace);
    // The file `baseName` in `folder`, by their bytes; `displayName` names it in messages.
    AtomicFile(QByteArray folder, QByteArray baseName, QString displayName, Durability durability, Links links);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Whether this user may put a new file in the target's place, as open()
    // checks it first; creates nothing.
    FileStatus checkTarget();
    // Writes into a file without a name until commit(), where the file system
    // has them, so a kill leaves nothing behind; for files outside the card
    // folder, whose leftover copies no later change would remove. Before open().
    void keepNamelessWhileWritten() { nameless_ = true; }
    FileStatus open();
    // Buffered; the first failure sticks and is reported again by commit().
    FileStatus write(QByteArrayView data);
    // Adds `length` bytes of the file open as `source`, from `offset` on,
    // copied inside the kernel where it can be: as shared blocks where the
    // file system can share them and the `whole` of `source` makes the whole
    // new file so far, else by the kernel's copy, else read and written.
    FileStatus copyFrom(int source, qint64 offset, qint64 length, bool whole = false);
    // The new content so far, for copyFrom into another file; flushed first.
    // -1 when it cannot be had.
    int contentSoFar(qint64& length);
    // Called by commit() once the new content is on the disk, before it is
    // put in place, with the new file's version: what must be durable before
    // the change can be seen (its record) goes there. A failure there fails
    // the commit, and the old file stays.
    using BeforePlacing = std::function<FileStatus(const posix::FileVersion& placed)>;
    void setBeforePlacing(BeforePlacing step) { beforePlacing_ = std::move(step); }
    // Puts the new content in place. The descriptor stays open until close().
    FileStatus commit();
    FileStatus close();
    bool committed() const { return committed_; }

    // How many other names (hard links) the replaced file has: they keep the
    // old content, since the new file takes only this name.
    nlink_t otherNames() const { return otherNames_; }

private:
    FileStatus mayReplace(const struct stat& info);
    FileStatus keepOwner();
    FileStatus flush();
    bool shareBlocks(int source, qint64 length);
    bool copyInKernel(int source, qint64& offset, qint64& length);
    void discard();

    FileStatus openNameless();
    FileStatus giveName();
    // Names a nameless file if need be, then renames it over the target.
    FileStatus putInPlace();
    FileStatus runBeforePlacing();

    QByteArray folder_;
    QByteArray baseName_;
    QString name_;
    bool nameless_ = false;
    Durability durability_;
    Links links_;
    posix::FileLocation target_;
    QByteArray tempPath_;
    int fd_ = -1;
    int folderFd_ = -1; // the target's folder, synced after the rename
    QByteArray pending_;
    qint64 written_ = 0; // bytes in the new file, pending ones included
    FileStatus status_ = FileStatus::success();
    bool committed_ = false;
    // The replaced file's owner and group, for the new file to keep.
    std::optional<uid_t> keptOwner_;
    std::optional<gid_t> keptGroup_;
    bool replacesFile_ = false;
    nlink_t otherNames_ = 0;
    BeforePlacing beforePlacing_;
};

} // namespace kestrix
