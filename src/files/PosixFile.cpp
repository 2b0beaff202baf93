// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PosixFile.h"
#include "SystemCalls.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix::posix {

QByteArray pathOf(const QString& directory, const QString& name)
{
    return QFile::encodeName(directory + QLatin1Char('/') + name);
}

FileStatus writeAll(int fd, QByteArrayView data, const QString& fileName)
{
    const char* next = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t wrote = sys::write(fd, next, static_cast<size_t>(left));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return FileStatus::fromErrno(fileName, errno);
        if (wrote == 0) return FileStatus::failure(fileName, QStringLiteral("the disk accepted no more data"));
        next += wrote;
        left -= wrote;
    }
    return FileStatus::success();
}

FileVersion FileVersion::of(const struct stat& info)
{
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

FileStatus openRegularPath(const QByteArray& path, const QString& displayName, int flags, int& fd, FileVersion* version)
{
    fd = -1;
    // Non-blocking, so a named pipe in the file's place cannot hang the
    // program; never through a link, which the caller has resolved already.
    const int opened = sys::open(path.constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    struct stat info {};
    if (opened < 0) {
        const int error = errno;
        // A socket cannot be opened at all, nor a device on some file systems:
        // what stands there says more than why the open failed.
        if (error != ENOENT && sys::lstat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
            return FileStatus::notAFile(displayName, info.st_mode);
        if (flags & O_CREAT) return creationFailure(displayName, folderOf(path), error);
        if (error == ENOENT) return FileStatus::missing(displayName);
        return FileStatus::fromErrno(displayName, error);
    }
    if (sys::fstat(opened, &info) != 0) {
        const int error = errno;
        sys::close(opened);
        return FileStatus::fromErrno(displayName, error);
    }
    if (!S_ISREG(info.st_mode)) {
        sys::close(opened);
        return FileStatus::notAFile(displayName, info.st_mode);
    }
    const int status = sys::fcntl(opened, F_GETFL);
    if (status < 0 || sys::fcntl(opened, F_SETFL, status & ~O_NONBLOCK) != 0) {
        const int error = errno;
        sys::close(opened);
        return FileStatus::fromErrno(displayName, error);
    }
    fd = opened;
    if (version) *version = FileVersion::of(info);
    return FileStatus::success();
}

FileStatus openRegularFile(const QString& directory, const QString& name, int flags, int& fd, FileVersion* version)
{
    fd = -1;
    FileLocation location;
    if (FileStatus found = followLinks(directory, name, location); !found.ok()) return found;
    return openRegularPath(location.path, name, flags, fd, version);
}

FileStatus openForReading(const QString& directory, const QString& name, int& fd, FileVersion* version)
{
    return openRegularFile(directory, name, O_RDONLY, fd, version);
}

FileStatus creationFailure(const QString& name, const QByteArray& folder, int error)
{
    if (error == ENOENT) return FileStatus::failure(name, QStringLiteral("its folder does not exist"));
    if (error == EACCES || error == EPERM || error == EROFS)
        return FileStatus::folderFailure(QDir(QFile::decodeName(folder)).absolutePath(), error);
    return FileStatus::fromErrno(name, error);
}

namespace {

// The length of the UTF-8 sequence at the start of `bytes`, or 0 when none
// starts there: overlong forms, surrogates and values beyond U+10FFFF are
// not UTF-8.
qsizetype utf8SequenceLength(QByteArrayView bytes)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (qsizetype i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

} // namespace

QString displayNameOf(QByteArrayView path)
{
    QString name;
    name.reserve(path.size());
    while (!path.isEmpty()) {
        const qsizetype length = utf8SequenceLength(path);
        if (length == 0) {
            const QString hex = QString::number(static_cast<unsigned char>(path[0]), 16).toUpper();
            name += QStringLiteral("\\x") + hex.rightJustified(2, QLatin1Char('0'));
            path = path.sliced(1);
            continue;
        }
        name += QString::fromUtf8(path.first(length));
        path = path.sliced(length);
    }
    return name;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray baseNameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

namespace {

const QByteArray kCopyMark = QByteArrayLiteral(".kestrix-");
constexpr qsizetype kCopyRandomLength = 6; // what mkostemp puts for XXXXXX

} // namespace

bool isLeftoverCopyOf(QByteArrayView name, QByteArrayView baseName)
{
    const qsizetype prefix = 1 + baseName.size() + kCopyMark.size();
    if (name.size() != prefix + kCopyRandomLength || name[0] != '.') return false;
    if (name.sliced(1, baseName.size()) != baseName || name.sliced(1 + baseName.size(), kCopyMark.size()) != kCopyMark)
        return false;
    for (const char c : name.sliced(prefix))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

QByteArray copyTemplateFor(const QByteArray& path)
{
    return folderOf(path) + "/." + baseNameOf(path) + kCopyMark + "XXXXXX";
}

FileStatus listFolder(const QByteArray& folder, std::vector<QByteArray>& names)
{
    names.clear();
    DIR* entries = sys::opendir(folder.constData());
    if (!entries) {
        if (errno == ENOENT || errno == EACCES || errno == ENOTDIR) return FileStatus::success();
        return FileStatus::folderFailure(QDir(QFile::decodeName(folder)).absolutePath(), errno);
    }
    FileStatus status = FileStatus::success();
    for (;;) {
        errno = 0;
        const dirent* entry = sys::readdir(entries);
        if (!entry) {
            if (errno != 0) status = FileStatus::folderFailure(QDir(QFile::decodeName(folder)).absolutePath(), errno);
            break;
        }
        names.emplace_back(entry->d_name);
    }
    sys::closedir(entries);
    return status;
}

FileStatus removeCopy(const QByteArray& path, const QString& fileName)
{
    if (sys::unlink(path.constData()) != 0 && errno != ENOENT && errno != EACCES && errno != EPERM)
        return FileStatus::fromErrno(fileName, errno);
    return FileStatus::success();
}

FileStatus createEmpty(const QString& directory, const QString& name)
{
    FileLocation location;
    if (FileStatus found = followLinks(directory, name, location); !found.ok()) return found;
    int folder = -1;
    if (FileStatus opened = openFolder(location.folder, name, folder); !opened.ok()) return opened;
    int fd = sys::open(location.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    FileStatus status =
        fd < 0 ? creationFailure(name, location.folder, errno) : giveToFolderOwner(fd, location.folder, name);
    status.orFirstFailure(closeFile(fd, name));
    if (status.ok()) status = syncOpenFolder(folder, name);
    (void)closeFile(folder, name);
    return status;
}

FileStatus openFolder(const QByteArray& folder, const QString& fileName, int& fd)
{
    fd = sys::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) return FileStatus::success();
    if (errno == ENOENT) return FileStatus::failure(fileName, QStringLiteral("its folder does not exist"));
    if (errno == EACCES) return FileStatus::folderFailure(QDir(QFile::decodeName(folder)).absolutePath(), errno);
    return FileStatus::fromErrno(fileName, errno);
}

FileStatus syncOpenFolder(int fd, const QString& fileName)
{
    if (sys::fsync(fd) != 0 && errno != EINVAL) return FileStatus::fromErrno(fileName, errno);
    return FileStatus::success();
}

FileStatus giveToFolderOwner(int fd, const QByteArray& folder, const QString& fileName)
{
    if (::geteuid() != 0) return FileStatus::success();
    struct stat info {};
    if (sys::stat(folder.constData(), &info) != 0) return FileStatus::fromErrno(fileName, errno);
    if (info.st_uid == 0) return FileStatus::success();
    if (sys::fchown(fd, info.st_uid, info.st_gid) != 0) return FileStatus::fromErrno(fileName, errno);
    return FileStatus::success();
}

FileStatus closeFile(int& fd, const QString& fileName)
{
    if (fd < 0) return FileStatus::success();
    const int result = sys::close(fd);
    fd = -1;
    if (result != 0 && errno != EINTR) return FileStatus::fromErrno(fileName, errno);
    return FileStatus::success();
}

FileStatus readWholeFile(const QString& directory, const QString& name, QByteArray& bytes)
{
    bytes.clear();
    int fd = -1;
    FileStatus status = openForReading(directory, name, fd);
    if (!status.ok()) return status.isMissing() ? FileStatus::success() : status;
    char buffer[4096];
    for (;;) {
        const ssize_t got = sys::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) status = FileStatus::fromErrno(name, errno);
        if (got <= 0) break;
        bytes.append(buffer, got);
    }
    return status.orFirstFailure(closeFile(fd, name));
}

} // namespace kestrix::posix
