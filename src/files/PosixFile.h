// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileStatus.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>
#include <vector>

namespace kestrix::posix {

// Tells one version of a file from another. Every change Kestrix makes puts a
// new file in place, under a new inode; any other writer changes the size or
// the modification time.
struct FileVersion {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;

    static FileVersion of(const struct stat& info);
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// The file system path of `name` inside `directory`.
QByteArray pathOf(const QString& directory, const QString& name);

// Writes all of `data`. A write that stops short is continued, so a full disk
// or a size limit surfaces as the error of the next write and is reported.
FileStatus writeAll(int fd, QByteArrayView data, const QString& fileName);

// Opens `name` with `flags` into `fd`, accepting only a regular file, and
// reaching it only through links followLinks follows. A file that does not
// exist gives a Missing status; a folder or device in its place is a
// failure. `version`, when given, receives the version opened.
FileStatus openRegularFile(const QString& directory, const QString& name, int flags, int& fd,
                           FileVersion* version = nullptr);

// The same for the file at `path` itself: a link there is refused, not
// followed. `displayName` names it in a failure.
FileStatus openRegularPath(const QByteArray& path, const QString& displayName, int flags, int& fd,
                           FileVersion* version = nullptr);

// Opens an existing regular file for reading into `fd`. A file that does not
// exist gives a Missing status; a folder or device in its place is a failure.
FileStatus openForReading(const QString& directory, const QString& name, int& fd, FileVersion* version = nullptr);

// The whole content of `name` in `directory`, read as openForReading opens
// it; empty, and success, for a missing file.
FileStatus readWholeFile(const QString& directory, const QString& name, QByteArray& bytes);

// Why `name` could not be created in `folder`: like fromErrno, but a missing
// folder is named as such rather than as a missing file, and a folder that
// may not be written (or lies on a read-only disk) is named as the folder.
FileStatus creationFailure(const QString& name, const QByteArray& folder, int error);

// Where a file's content really lives: its folder and its path.
struct FileLocation {
    QByteArray folder;
    QByteArray path;
};

// The location of `name` inside `directory`, with symbolic links (chains
// included, and links among the folders a link names) followed to the file
// they name. That file need not exist yet. Users keep their cards in a synced
// folder and link to them; writing to the link's target keeps the link a
// link. A link made by anyone but this user or root is followed only where
// its maker may change the file it leads to (or, for a missing one, create
// it): otherwise a link planted in a shared folder would have Kestrix read
// or write a file of this user's for them. Such a link is refused, named.
FileStatus followLinks(const QString& directory, const QString& name, FileLocation& location);
// Which links a walk follows: those whose maker may change what they lead
// to (the user's own card files, in a folder they may share), or only this
// user's own and root's (where Kestrix writes what the user names, an
// export: a link another user planted there would take the cards to them).
enum class LinkTrust { MakerMayChange, OwnOnly };

// The same for `name` (which may hold folders) inside the folder `start`,
// all bytes; `displayName` names it in a failure.
FileStatus followLinks(const QByteArray& start, const QByteArray& name, const QString& displayName,
                       FileLocation& location, LinkTrust trust = LinkTrust::MakerMayChange);

// The folder part and the name part of a path.
QByteArray folderOf(const QByteArray& path);
QByteArray baseNameOf(const QByteArray& path);

// The name pattern of the copies a change builds beside a file before it
// renames one over the file: hidden, and used by nothing but Kestrix, so the
// copies a killed change left behind can be told apart and removed.
// A template for mkostemp (it ends in XXXXXX).
QByteArray copyTemplateFor(const QByteArray& path);

// Whether `entry` is such a copy of `baseName`.
bool isLeftoverCopyOf(QByteArrayView entry, QByteArrayView baseName);

// The names in `folder`. A folder that is gone or may not be read lists none:
// nothing of this program's can have been made there either.
FileStatus listFolder(const QByteArray& folder, std::vector<QByteArray>& names);

// Removes the file at `path`, a copy of `fileName`'s. One that is gone already,
// or that belongs to someone else who alone may remove it, is left be.
FileStatus removeCopy(const QByteArray& path, const QString& fileName);

// Creates `name` empty, never truncating a file that appeared meanwhile, and
// makes its directory entry durable. A dangling link gets its target created.
FileStatus createEmpty(const QString& directory, const QString& name);

// A file root creates in somebody's folder goes to that folder's owner, who
// would otherwise be locked out of their own cards. Nothing for anyone else.
FileStatus giveToFolderOwner(int fd, const QByteArray& folder, const QString& fileName);

// Opens `folder` so renames and creations in it can be made to survive a
// power cut (syncOpenFolder). Opened before the change: a folder that may not
// be read cannot be synced, and a change that could not be made safe must
// not begin. Failures name the file the change is for, or the folder.
FileStatus openFolder(const QByteArray& folder, const QString& fileName, int& fd);
FileStatus syncOpenFolder(int fd, const QString& fileName);

// Closes `fd` (when open) and sets it to -1; reports a failed close, which on
// some file systems is where a failed write shows up.
FileStatus closeFile(int& fd, const QString& fileName);

} // namespace kestrix::posix
