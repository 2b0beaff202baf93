// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeLock.h"

#include "PosixFile.h"
#include "SystemCalls.h"
#include "UserAccess.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace kestrix {

namespace {

using Clock = std::chrono::steady_clock;

// What a folder is known by, whatever path led to it.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    friend auto operator<=>(const Identity&, const Identity&) = default;
};

// A folder to lock, and where its lock file lies.
struct Folder {
    Identity identity;
    struct stat info {};
    QByteArray lockFilePath;
    QString lockFileName;
    QByteArray guardedPath;
};

enum class Outcome { Locked, Busy, Unsupported, Failed };

// Errors that say this file system holds no locks of this kind.
bool locksUnsupported(int error)
{
    return error == EBADF || error == EINVAL || error == ENOLCK || error == EOPNOTSUPP;
}

// Asked again and again rather than waited for: a blocking wait cannot give
// up in time. Often, since whoever asks first when the lock comes free gets
// it, and a long pause would let others go first over and over.
Outcome lockWithin(int fd, Clock::time_point deadline, int& error)
{
    for (;;) {
        if (sys::flock(fd, LOCK_EX | LOCK_NB) == 0) return Outcome::Locked;
        error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK) return locksUnsupported(error) ? Outcome::Unsupported : Outcome::Failed;
        if (Clock::now() >= deadline) return Outcome::Busy;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Those who may change the cards may write their folder; the lock file grants
// them, and only them, the same, whatever umask its maker had. In a folder
// with the sticky bit only a file's owner may replace it, so only they may
// lock.
mode_t lockFileModeFor(const struct stat& folder)
{
    if (folder.st_mode & S_ISVTX) return 0600;
    mode_t mode = 0600;
    if ((folder.st_mode & (S_IWGRP | S_IXGRP)) == (S_IWGRP | S_IXGRP)) mode |= 0060;
    if ((folder.st_mode & (S_IWOTH | S_IXOTH)) == (S_IWOTH | S_IXOTH)) mode |= 0006;
    return mode;
}

// Whether `user` could change the cards the lock guards: write the folder
// and, where it has the sticky bit, own the folder or the guarded file.
bool mayChangeTheCards(uid_t user, const Folder& folder)
{
    struct stat guarded {};
    const uid_t guardedOwner = sys::stat(folder.guardedPath.constData(), &guarded) == 0 ? guarded.st_uid : ::geteuid();
    return userMayReplaceIn(user, folder.info, guardedOwner);
}

// A new lock file's group is the folder's, as if the folder had the set-group
// bit, so the colleagues the folder is shared with can open it.
void shareWithFoldersGroup(int fd, const struct stat& folder)
{
    if ((lockFileModeFor(folder) & 0060) && userInGroup(::geteuid(), folder.st_gid))
        (void)sys::fchown(fd, static_cast<uid_t>(-1), folder.st_gid);
}

// Opens the lock file, creating it when missing; never through a link, and
// never anything but a regular file of someone who may change the cards. -1
// with `status` set when it cannot be had; -1 with success where no change
// can happen anyway.
int openLockFile(const Folder& folder, FileStatus& status)
{
    const QByteArray& path = folder.lockFilePath;
    int fd = sys::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) {
        status = FileStatus::success();
        if (sys::fchmod(fd, lockFileModeFor(folder.info)) != 0)
            status = FileStatus::fromErrno(folder.lockFileName, errno);
        if (status.ok()) shareWithFoldersGroup(fd, folder.info);
        status.orFirstFailure(posix::giveToFolderOwner(fd, posix::folderOf(path), folder.lockFileName));
        if (status.ok()) return fd;
        sys::close(fd);
        return -1;
    }
    if (errno == EEXIST) fd = sys::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == EISDIR || error == ENXIO) {
            if (sys::lstat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
                status = FileStatus::notAFile(folder.lockFileName, info.st_mode);
                return -1;
            }
        }
        // A folder that is gone, read-only or not ours to write holds no
        // change to collide with: the change meets that trouble itself.
        const bool noChangePossible = error == ENOENT || error == EROFS
            || ((error == EACCES || error == EPERM) && !userMayWrite(::geteuid(), folder.info));
        status = noChangePossible ? FileStatus::success() : FileStatus::fromErrno(folder.lockFileName, error);
        return -1;
    }
    if (sys::fstat(fd, &info) != 0) {
        status = FileStatus::fromErrno(folder.lockFileName, errno);
    } else if (!S_ISREG(info.st_mode)) {
        status = FileStatus::notAFile(folder.lockFileName, info.st_mode);
    } else if (info.st_uid != ::geteuid() && info.st_uid != 0 && !mayChangeTheCards(info.st_uid, folder)) {
        // Its maker could hold it to block every change they may not make.
        status = FileStatus::failure(folder.lockFileName,
                                     QStringLiteral("it belongs to %1, who may not change these cards; ask the "
                                                    "folder's owner to remove it")
                                         .arg(userName(info.st_uid)));
    } else {
        // One this user made under another umask, or an older Kestrix made,
        // is kept to those who may change the cards.
        if (info.st_uid == ::geteuid() && (info.st_mode & 07777) != lockFileModeFor(folder.info))
            (void)sys::fchmod(fd, lockFileModeFor(folder.info));
        return fd;
    }
    sys::close(fd);
    return -1;
}

// Who holds the lock on `fd`'s file, as the kernel's list of locks tells:
// "another Kestrix (process 4242 of ann)", or the program's name where it is
// not Kestrix. Empty where the list says nothing (another machine of a
// network file system, say).
QString holderOf(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) return {};
    // "1: FLOCK  ADVISORY  WRITE 4242 fd:01:131 0 EOF"; waiters carry "->".
    const QByteArray where = QByteArray::number(major(info.st_dev), 16).rightJustified(2, '0') + ':'
        + QByteArray::number(minor(info.st_dev), 16).rightJustified(2, '0') + ':' + QByteArray::number(info.st_ino);
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] == "->" || fields[1] != "FLOCK" || fields[5] != where) continue;
        const QByteArray& pid = fields[4];
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
        const QString program =
            comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
        struct stat process {};
        const QByteArray processPath = "/proc/" + pid;
        const QString user = ::stat(processPath.constData(), &process) == 0 ? userName(process.st_uid) : QString();
        const QString who =
            QStringLiteral("process %1%2")
                .arg(QString::fromLatin1(pid), user.isEmpty() ? QString() : QStringLiteral(" of ") + user);
        if (program.startsWith(QLatin1String("kestrix"))) return QStringLiteral("another Kestrix (%1)").arg(who);
        return QStringLiteral("the program %1 (%2)").arg(program.isEmpty() ? QStringLiteral("?") : program, who);
    }
    return {};
}

FileStatus busyMessage(const QString& holder, const QString& lockFileName)
{
    if (holder.startsWith(QLatin1String("another Kestrix")))
        return FileStatus::busy(QStringLiteral("kest1.dat"), holder + QStringLiteral(" is busy with these cards"));
    if (holder.isEmpty())
        return FileStatus::busy(lockFileName,
                                QStringLiteral("another program holds the lock on these cards, perhaps Kestrix on "
                                               "another computer"));
    return FileStatus::busy(lockFileName,
                            holder
                                + QStringLiteral(" holds the lock on these cards; Kestrix waits for no other "
                                                 "program"));
}

} // namespace

ChangeLock ChangeLock::take(const std::vector<Place>& places, std::chrono::milliseconds patience)
{
    ChangeLock lock(FileStatus::success());
    const auto fail = [&](FileStatus why) {
        lock.release();
        lock.status_ = std::move(why);
        return std::move(lock);
    };

    std::vector<Folder> folders;
    for (const Place& place : places) {
        Folder folder;
        folder.lockFilePath = place.folder + '/' + QFile::encodeName(place.lockFileName);
        folder.lockFileName = place.lockFileName;
        folder.guardedPath = place.folder + '/' + place.guardedFile;
        if (sys::stat(place.folder.constData(), &folder.info) != 0) {
            // A folder that is gone holds nothing to change.
            if (errno == ENOENT) continue;
            return fail(FileStatus::folderFailure(QDir(QFile::decodeName(place.folder)).absolutePath(), errno));
        }
        folder.identity = {folder.info.st_dev, folder.info.st_ino};
        const bool seen = std::any_of(folders.begin(), folders.end(),
                                      [&](const Folder& other) { return other.identity == folder.identity; });
        if (!seen) folders.push_back(folder);
    }
    // The same order in every process, so two that need the same two folders
    // never each hold one and wait for the other.
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) { return a.identity < b.identity; });

    const Clock::time_point deadline = Clock::now() + patience;
    for (const Folder& folder : folders) {
        FileStatus opened = FileStatus::success();
        const int fd = openLockFile(folder, opened);
        if (!opened.ok()) return fail(opened);
        if (fd < 0) continue;
        int error = 0;
        const Outcome outcome = lockWithin(fd, deadline, error);
        if (outcome == Outcome::Locked) {
            lock.fds_.push_back(fd);
            continue;
        }
        if (outcome == Outcome::Unsupported) {
            lock.withoutLock_ = true;
            sys::close(fd);
            continue;
        }
        const FileStatus why = outcome == Outcome::Busy ? busyMessage(holderOf(fd), folder.lockFileName)
                                                        : FileStatus::fromErrno(folder.lockFileName, error);
        sys::close(fd);
        return fail(why);
    }
    return lock;
}

ChangeLock::ChangeLock(ChangeLock&& other) noexcept
    : fds_(std::move(other.fds_)), status_(std::move(other.status_)), withoutLock_(other.withoutLock_)
{
    other.fds_.clear();
}

// Closing the only descriptor of a lock lets go of it.
void ChangeLock::release()
{
    for (int fd : fds_) sys::close(fd);
    fds_.clear();
}

ChangeLock::~ChangeLock()
{
    release();
}

} // namespace kestrix
