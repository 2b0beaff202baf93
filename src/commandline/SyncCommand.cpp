// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncCommand.h"

#include "Commands.h"
#include "Terminal.h"
#include "cardfile/Module1.h"
#include "cardsync/CardSync.h"
#include "keyring/Keyring.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

// A password file is a line, not a log: anything larger is the wrong file.
constexpr qint64 kLargestPasswordFile = 64 * 1024;

// The first line of the file at `path`, without its line end. Only a
// plain file is read: a FIFO or a device named by mistake would hang the
// run or hand over something else. The bytes are never copied anywhere.
bool readPasswordFile(const QByteArray& path, QString& password, QString& why, std::FILE* err)
{
    const QString shown = QFile::decodeName(path);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = QStringLiteral("%1: %2").arg(shown, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info {};
    QByteArray bytes;
    bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kLargestPasswordFile;
    if (read) {
        bytes.resize(qsizetype(info.st_size));
        ssize_t got = 0;
        do got = ::read(fd, bytes.data(), size_t(bytes.size()));
        while (got < 0 && errno == EINTR);
        read = got >= 0;
        bytes.truncate(got < 0 ? 0 : qsizetype(got));
    }
    ::close(fd);
    if (!read) {
        why = QStringLiteral("%1: it is no plain file of at most 64 KiB, or cannot be read").arg(shown);
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        complain(err, QStringLiteral("the password file %1 can be read by other users (chmod 600 it)").arg(shown));
    const qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r')) line.chop(1);
    password = QString::fromUtf8(line);
    bytes.fill('\0');
    line.fill('\0');
    return true;
}

void tellProgress(std::FILE* err, const SyncProgress& progress)
{
    const QString text = progress.total > 0
        ? QStringLiteral("%1: %2 of %3").arg(progress.step).arg(progress.done).arg(progress.total)
        : progress.step;
    std::fprintf(err, "\r\033[K%s", text.toLocal8Bit().constData());
    std::fflush(err);
}

} // namespace

int syncWithServer(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err)
{
    SyncAccount account{request.server, request.user, {}, request.addressBook};
    SyncAccount remembered;
    if (FileStatus known = rememberedAccount(module, remembered); !known.ok()) {
        complain(err, QStringLiteral("nothing synced: %1").arg(why(known)));
        return kFailed;
    }
    const QString server = account.server.isEmpty() ? remembered.server : plainServerAddress(account.server);
    const QString user = account.user.isEmpty() ? remembered.user : account.user;
    QString keyringWhy;
    if (!request.passwordFile.isEmpty()) {
        QString whyNot;
        if (!readPasswordFile(request.passwordFile, account.password, whyNot, err)) {
            complain(err, QStringLiteral("nothing synced: %1").arg(whyNot));
            return kFailed;
        }
    } else if (!server.isEmpty()) {
        // A server that asks for none gets none; one that asks, says so.
        const KeyringAnswer answer = readPassword(server, user);
        account.password = answer.password;
        keyringWhy = answer.reason;
    }
    const bool terminal = ::isatty(::fileno(err)) == 1;
    const SyncOutcome outcome = syncCardFile(module, account, [&](const SyncProgress& progress) {
        if (terminal) tellProgress(err, progress);
    });
    if (terminal) std::fputs("\r\033[K", err);
    if (outcome.ok()) {
        say(out, outcome.summary());
        return kSucceeded;
    }
    complain(err, outcome.summary());
    if (outcome.result == SyncOutcome::Result::NoAccount) {
        complain(err, QStringLiteral("kestrix --sync --server URL --user NAME --password-file FILE"));
        return kMisused;
    }
    if (outcome.result == SyncOutcome::Result::ChooseAddressBook)
        complain(err, QStringLiteral("give --address-book NAME"));
    if (outcome.dav.problem == DavProblem::AuthRefused && !keyringWhy.isEmpty())
        complain(err, QStringLiteral("%1: give --password-file FILE").arg(keyringWhy));
    return kFailed;
}

} // namespace kestrix
