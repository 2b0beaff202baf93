// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ComputerIdentity.h"

#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "files/UserAccess.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

const QString kIdentityFile = QStringLiteral("computer");
constexpr qsizetype kIdLength = 32;

bool isId(const QByteArray& text)
{
    if (text.size() != kIdLength) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// The identity `bytes` hold, or nothing when they hold none.
bool parse(const QByteArray& bytes, Computer& computer)
{
    computer = {};
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith("id ")) computer.id = line.mid(3);
        if (line.startsWith("label ")) computer.label = QString::fromUtf8(line.mid(6));
    }
    return isId(computer.id);
}

Computer makeComputer()
{
    Computer computer;
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    computer.id = QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex();
    computer.label = userName(::geteuid()) + QLatin1Char('@') + QSysInfo::machineHostName();
    return computer;
}

FileStatus makeFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    QByteArray made;
    for (const QByteArray& part : path.split('/')) {
        made += part;
        if (made.isEmpty()) {
            made += '/';
            continue;
        }
        // Private, whatever the umask would leave of it (without search
        // rights, not even its maker could use it).
        if (::mkdir(made.constData(), 0700) == 0) {
            if (::chmod(made.constData(), 0700) != 0) return FileStatus::folderFailure(QFile::decodeName(made), errno);
        } else if (errno != EEXIST) {
            return FileStatus::folderFailure(QFile::decodeName(made), errno);
        }
        made += '/';
    }
    return FileStatus::success();
}

// The identity file's bytes; a link in its place is refused.
FileStatus readIdentity(const QByteArray& path, const QString& shown, QByteArray& bytes)
{
    bytes.clear();
    int fd = -1;
    FileStatus status = posix::openRegularPath(path, shown, O_RDONLY, fd);
    if (!status.ok()) return status;
    char buffer[512];
    for (;;) {
        const ssize_t got = sys::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) status = FileStatus::fromErrno(shown, errno);
        if (got <= 0 || bytes.size() > 4096) break;
        bytes.append(buffer, got);
    }
    return status.orFirstFailure(posix::closeFile(fd, shown));
}

} // namespace

QString defaultStateFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state)) return state + QStringLiteral("/kestrix");
    return QDir::homePath() + QStringLiteral("/.local/state/kestrix");
}

FileStatus thisComputer(const QString& folder, Computer& computer)
{
    // Named in full in a message: it lies outside the card folder.
    const QString shown = QDir(folder).filePath(kIdentityFile);
    const QByteArray path = QFile::encodeName(shown);
    QByteArray bytes;
    if (FileStatus read = readIdentity(path, shown, bytes); !read.ok() && !read.isMissing()) return read;
    if (parse(bytes, computer)) return FileStatus::success();

    if (FileStatus made = makeFolder(folder); !made.ok()) return made;
    computer = makeComputer();
    AtomicFile file(QFile::encodeName(folder), QFile::encodeName(kIdentityFile), shown, Durability::Durable,
                    Links::Replace);
    FileStatus written = file.open();
    const QByteArray text = "# Which computer this is, for the history of changes Kestrix keeps beside\n"
                            "# each card file. Made at the first run; keep it with this user's files.\n"
                            "id "
        + computer.id + "\nlabel " + computer.label.toUtf8() + '\n';
    if (written.ok()) written = file.write(text);
    if (written.ok()) written = file.close();
    if (!written.ok()) return written;
    // Another first run may have put its own in place meanwhile: use what is there.
    if (readIdentity(path, shown, bytes).ok() && parse(bytes, computer)) return FileStatus::success();
    return FileStatus::failure(shown, QStringLiteral("it does not hold what was just written to it"));
}

} // namespace kestrix
