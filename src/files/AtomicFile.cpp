// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "AtomicFile.h"

#include "SystemCalls.h"
#include "UserAccess.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrix {

namespace {

constexpr qsizetype kFlushThreshold = 256 * 1024;

// The new file keeps the permissions of the one it replaces; a new file, or
// one that replaces a link, gets the usual ones for the user's umask. Returns
// 0, or why the old file's permissions could not be read.
int modeFor(const QByteArray& targetPath, mode_t& mode)
{
    struct stat info {};
    if (sys::lstat(targetPath.constData(), &info) != 0) {
        if (errno != ENOENT) return errno;
    } else if (S_ISREG(info.st_mode)) {
        mode = info.st_mode & 07777;
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    return 0;
}

} // namespace

AtomicFile::AtomicFile(const QString& directory, const QString& name, Durability durability, Links links)
    : AtomicFile(QFile::encodeName(directory), QFile::encodeName(name), name, durability, links)
{}

AtomicFile::AtomicFile(QByteArray folder, QByteArray baseName, QString displayName, Durability durability, Links links)
    : folder_(std::move(folder)),
      baseName_(std::move(baseName)),
      name_(std::move(displayName)),
      durability_(durability),
      links_(links)
{}

AtomicFile::~AtomicFile()
{
    if (!committed_) discard();
    (void)posix::closeFile(fd_, name_);
    (void)posix::closeFile(folderFd_, name_);
}

FileStatus AtomicFile::checkTarget()
{
    if (links_ != Links::Replace) {
        const posix::LinkTrust trust =
            links_ == Links::FollowOwn ? posix::LinkTrust::OwnOnly : posix::LinkTrust::MakerMayChange;
        if (FileStatus found = posix::followLinks(folder_, baseName_, name_, target_, trust); !found.ok()) return found;
    } else {
        target_ = {folder_, folder_ + '/' + baseName_};
    }
    // Only a file the user may write is replaced; a folder, pipe, device or
    // socket in its place is refused, not swept away.
    struct stat info {};
    if (sys::lstat(target_.path.constData(), &info) != 0) {
        if (errno != ENOENT) return FileStatus::fromErrno(name_, errno);
        return FileStatus::success();
    }
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return FileStatus::notAFile(name_, info.st_mode);
    if (!S_ISREG(info.st_mode)) return FileStatus::success(); // a link replaced by a file of its own
    replacesFile_ = true;
    otherNames_ = info.st_nlink > 0 ? info.st_nlink - 1 : 0;
    return mayReplace(info);
}

namespace {

QString groupName(gid_t group)
{
    if (const struct group* entry = ::getgrgid(group)) return QString::fromLocal8Bit(entry->gr_name);
    return QString::number(group);
}

} // namespace

// The new file takes the old one's place, so it must be one the old file's
// other users can still work with: the same owner and group where this user
// may give them, and no change at all where that would lock them out.
FileStatus AtomicFile::mayReplace(const struct stat& info)
{
    const uid_t me = ::geteuid();
    if (me == 0) {
        // Root may write anything, but a file its owner made read-only stays so.
        if (!(info.st_mode & S_IWUSR)) return FileStatus::fromErrno(name_, EACCES);
        keptOwner_ = info.st_uid;
        keptGroup_ = info.st_gid;
        return FileStatus::success();
    }
    if (sys::faccessat(AT_FDCWD, target_.path.constData(), W_OK, AT_EACCESS) != 0)
        return FileStatus::fromErrno(name_, errno);
    if (info.st_uid != me) {
        // In a folder with the sticky bit, only a file's owner may replace it:
        // the new file would be this user's, and the owner locked out.
        struct stat folder {};
        if (sys::stat(target_.folder.constData(), &folder) != 0) return FileStatus::fromErrno(name_, errno);
        if ((folder.st_mode & S_ISVTX) && folder.st_uid != me) {
            return FileStatus::failure(
                name_,
                QStringLiteral("it belongs to another user, and in this folder (it has the sticky bit) a "
                               "file you saved could no longer be changed by them"));
        }
    }
    if (userInGroup(me, info.st_gid)) {
        keptGroup_ = info.st_gid;
    } else if (((info.st_mode >> 3) & 07) & ~(info.st_mode & 07)) {
        // The new file cannot have a group this user is not in; where that
        // group may do more than everyone else, its members would lose it.
        return FileStatus::failure(name_,
                                   QStringLiteral("it belongs to the group %1, which you are not in, and saving "
                                                  "it would take it from that group")
                                       .arg(groupName(info.st_gid)));
    }
    return FileStatus::success();
}

FileStatus AtomicFile::open()
{
    status_ = checkTarget();
    if (status_.ok() && durability_ == Durability::Durable)
        status_ = posix::openFolder(target_.folder, name_, folderFd_);
    if (!status_.ok()) return status_;
    if (nameless_) {
        fd_ = sys::open(target_.folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0) return FileStatus::success();
        // Not every file system has them: a named copy, then.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            status_ = posix::creationFailure(name_, target_.folder, errno);
            return status_;
        }
        nameless_ = false;
    }
    tempPath_ = posix::copyTemplateFor(target_.path);
    fd_ = sys::mkostemp(tempPath_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        tempPath_.clear();
        status_ = posix::creationFailure(name_, target_.folder, errno);
        return status_;
    }
    return FileStatus::success();
}

FileStatus AtomicFile::keepOwner()
{
    if (!replacesFile_) return posix::giveToFolderOwner(fd_, target_.folder, name_);
    if (!keptOwner_ && !keptGroup_) return FileStatus::success();
    if (sys::fchown(fd_, keptOwner_.value_or(static_cast<uid_t>(-1)), keptGroup_.value_or(static_cast<gid_t>(-1))) != 0)
        return FileStatus::fromErrno(name_, errno);
    return FileStatus::success();
}

FileStatus AtomicFile::write(QByteArrayView data)
{
    if (!status_.ok()) return status_;
    if (fd_ < 0 || committed_)
        return status_ = FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
    pending_.append(data);
    written_ += data.size();
    if (pending_.size() >= kFlushThreshold) return flush();
    return FileStatus::success();
}

namespace {

// Errors that say this way of copying is not had here: the other file
// system, the kernel or the kind of file cannot do it.
bool cannotCopyThisWay(int error)
{
    return error == EOPNOTSUPP || error == ENOTTY || error == EXDEV || error == EINVAL || error == ENOSYS
        || error == EBADF || error == ETXTBSY;
}

} // namespace

bool AtomicFile::shareBlocks(int source, qint64 length)
{
    if (written_ != 0) return false;
    for (;;) {
        if (sys::ioctl(fd_, FICLONE, source) == 0) break;
        if (errno == EINTR) continue;
        if (!cannotCopyThisWay(errno)) status_ = FileStatus::fromErrno(name_, errno);
        return false;
    }
    // The blocks are there; the file's position is still at its start.
    if (sys::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) status_ = FileStatus::fromErrno(name_, errno);
    return true;
}

// Copies what it can; leaves `offset` and `length` at what is left.
bool AtomicFile::copyInKernel(int source, qint64& offset, qint64& length)
{
    while (length > 0) {
        off_t from = static_cast<off_t>(offset);
        const ssize_t copied = sys::copy_file_range(source, &from, fd_, nullptr, static_cast<size_t>(length), 0);
        if (copied > 0) {
            offset += copied;
            length -= copied;
            continue;
        }
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && cannotCopyThisWay(errno)) return false; // read and written, then
        status_ = copied == 0 ? FileStatus::failure(name_, QStringLiteral("the file it is copied from became shorter"))
                              : FileStatus::fromErrno(name_, errno);
        return true;
    }
    return true;
}

FileStatus AtomicFile::copyFrom(int source, qint64 offset, qint64 length, bool whole)
{
    if (!status_.ok()) return status_;
    if (fd_ < 0 || committed_)
        return status_ = FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
    if (length <= 0 || !flush().ok()) return status_;
    const qint64 total = length;
    if (!whole || !shareBlocks(source, length)) {
        if (status_.ok() && !copyInKernel(source, offset, length)) {
            QByteArray buffer(std::min<qint64>(length, kFlushThreshold), Qt::Uninitialized);
            while (length > 0 && status_.ok()) {
                const ssize_t got =
                    sys::pread(source, buffer.data(), static_cast<size_t>(std::min<qint64>(length, buffer.size())),
                               static_cast<off_t>(offset));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) {
                    status_ = got < 0
                        ? FileStatus::fromErrno(name_, errno)
                        : FileStatus::failure(name_, QStringLiteral("the file it is copied from became shorter"));
                    break;
                }
                status_ = posix::writeAll(fd_, QByteArrayView(buffer.constData(), got), name_);
                offset += got;
                length -= got;
            }
        }
    }
    written_ += total;
    return status_;
}

int AtomicFile::contentSoFar(qint64& length)
{
    length = written_;
    return fd_ >= 0 && !committed_ && flush().ok() ? fd_ : -1;
}

FileStatus AtomicFile::flush()
{
    if (!pending_.isEmpty() && status_.ok()) status_ = posix::writeAll(fd_, pending_, name_);
    pending_.resize(0); // keeps the buffer for the next round
    return status_;
}

FileStatus AtomicFile::commit()
{
    if (committed_) return status_;
    if (fd_ < 0 && status_.ok())
        status_ = FileStatus::failure(name_, QStringLiteral("the file is not open for writing"));
    if (flush().ok()) {
        mode_t mode = 0;
        // The owner first: a change of owner clears the set-ID bits the mode may hold.
        if (FileStatus owned = keepOwner(); !owned.ok())
            status_ = owned;
        else if (const int error = modeFor(target_.path, mode); error != 0)
            status_ = FileStatus::fromErrno(name_, error);
        else if (sys::fchmod(fd_, mode) != 0 || (durability_ == Durability::Durable && sys::fsync(fd_) != 0))
            status_ = FileStatus::fromErrno(name_, errno);
        else if (FileStatus before = runBeforePlacing(); !before.ok())
            status_ = before;
        else if (FileStatus placed = putInPlace(); !placed.ok())
            status_ = placed;
        else {
            committed_ = true;
            if (durability_ == Durability::Durable) status_ = posix::syncOpenFolder(folderFd_, name_);
            (void)posix::closeFile(folderFd_, name_);
        }
    }
    if (!committed_) discard();
    return status_;
}

FileStatus AtomicFile::putInPlace()
{
    if (nameless_)
        if (FileStatus named = giveName(); !named.ok()) return named;
    if (sys::rename(tempPath_.constData(), target_.path.constData()) != 0) return FileStatus::fromErrno(name_, errno);
    return FileStatus::success();
}

// A file without a name gets one beside the target, to be renamed over it:
// linkat can make a name, but not replace one.
FileStatus AtomicFile::giveName()
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = posix::copyTemplateFor(target_.path);
        candidate.chop(6);
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int i = 0; i < 6; ++i) candidate += kLetters[QRandomGenerator::system()->bounded(62)];
        if (sys::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW) == 0) {
            tempPath_ = candidate;
            return FileStatus::success();
        }
        if (errno != EEXIST) return posix::creationFailure(name_, target_.folder, errno);
    }
    return posix::creationFailure(name_, target_.folder, EEXIST);
}

FileStatus AtomicFile::runBeforePlacing()
{
    if (!beforePlacing_) return FileStatus::success();
    struct stat info {};
    if (sys::fstat(fd_, &info) != 0) return FileStatus::fromErrno(name_, errno);
    return beforePlacing_(posix::FileVersion::of(info));
}

FileStatus AtomicFile::close()
{
    FileStatus status = committed_ ? status_ : commit();
    return status.orFirstFailure(posix::closeFile(fd_, name_));
}

void AtomicFile::discard()
{
    if (!tempPath_.isEmpty()) sys::unlink(tempPath_.constData());
    tempPath_.clear();
    (void)posix::closeFile(fd_, name_);
    (void)posix::closeFile(folderFd_, name_);
}

} // namespace kestrix
