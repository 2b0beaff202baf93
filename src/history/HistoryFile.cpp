// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "HistoryFile.h"

#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

const QString kPrefix = QStringLiteral(".kest1.dat.history-");

// A label as a file name may carry it anywhere a sync engine goes.
QString safeLabel(const QString& label)
{
    QString safe;
    for (const QChar c : label) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('.') || c == QLatin1Char('@') || c == QLatin1Char('_');
        safe += plain ? c : QLatin1Char('_');
    }
    return safe.left(64);
}

} // namespace

QString historyFileName(const Computer& computer)
{
    return kPrefix + safeLabel(computer.label) + QLatin1Char('-') + QString::fromLatin1(computer.id.left(8));
}

QString syncStateFileName(const Computer& computer)
{
    return QStringLiteral(".kest1.dat.sync-") + safeLabel(computer.label) + QLatin1Char('-')
        + QString::fromLatin1(computer.id.left(8));
}

bool isHistoryFileName(const QString& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\.kest1\\.dat\\.history-[A-Za-z0-9._@]{0,64}-[0-9a-f]{8}$"));
    return pattern.match(name).hasMatch();
}

QString labelInHistoryFileName(const QString& name)
{
    return name.mid(kPrefix.size()).chopped(std::min<qsizetype>(9, name.size() - kPrefix.size()));
}

HistoryAppender::~HistoryAppender()
{
    (void)posix::closeFile(fd_, name_);
}

FileStatus HistoryAppender::open(const QString& directory, const Computer& computer)
{
    Q_ASSERT(fd_ < 0);
    name_ = historyFileName(computer);
    FileStatus status = posix::openRegularFile(directory, name_, O_WRONLY | O_APPEND, fd_);
    if (!status.isMissing()) return status;
    status = posix::createEmpty(directory, name_);
    if (status.ok()) status = posix::openRegularFile(directory, name_, O_WRONLY | O_APPEND, fd_);
    return status;
}

FileStatus HistoryAppender::append(QByteArrayView piece)
{
    Q_ASSERT(fd_ >= 0);
    return posix::writeAll(fd_, piece, name_);
}

FileStatus HistoryAppender::sync()
{
    Q_ASSERT(fd_ >= 0);
    if (sys::fsync(fd_) != 0) return FileStatus::fromErrno(name_, errno);
    return FileStatus::success();
}

FileStatus readHistory(const QString& directory, const QString& name, std::vector<ChangeRecord>& records,
                       qsizetype& damaged)
{
    QByteArray bytes;
    records.clear();
    damaged = 0;
    const FileStatus read = posix::readWholeFile(directory, name, bytes);
    if (!read.ok()) return read;
    records = decodeRecords(bytes, &damaged);
    return FileStatus::success();
}

FileStatus historyFilesIn(const QString& directory, std::vector<QString>& names)
{
    names.clear();
    const QByteArray folder = QFile::encodeName(directory);
    std::vector<QByteArray> entries;
    if (FileStatus listed = posix::listFolder(folder, entries); !listed.ok()) return listed;
    struct stat folderInfo {};
    if (sys::stat(folder.constData(), &folderInfo) != 0) return FileStatus::folderFailure(directory, errno);
    for (const QByteArray& entry : entries) {
        const QString name = QFile::decodeName(entry);
        if (!isHistoryFileName(name)) continue;
        struct stat info {};
        const QByteArray path = folder + '/' + entry;
        if (sys::lstat(path.constData(), &info) != 0) {
            // Gone since the folder was listed; any other failure is told.
            if (errno == ENOENT) continue;
            return FileStatus::fromErrno(name, errno);
        }
        if (!S_ISREG(info.st_mode)) continue;
        if (info.st_uid == ::geteuid() || info.st_uid == folderInfo.st_uid) names.push_back(name);
    }
    return FileStatus::success();
}

} // namespace kestrix
