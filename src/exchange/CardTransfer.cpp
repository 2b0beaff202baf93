// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardTransfer.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/AtomicFile.h"
#include "files/FileStatus.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"
#include "formats/CardExchange.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrix {

namespace {

// Handed on in stretches of this size, so memory does not grow with the file.
constexpr qsizetype kStretch = 256 * 1024;

// Whether `path`, after links, is `name` of the card files or where it
// leads; a failure where the card file's own place cannot be told.
FileStatus isCardFile(Module1& module, const QByteArray& path, const QString& name, bool& same)
{
    same = false;
    posix::FileLocation location;
    if (FileStatus found = posix::followLinks(module.directory(), name, location); !found.ok()) return found;
    struct stat mine {
    }, theirs{};
    if (::stat(path.constData(), &mine) == 0 && ::stat(location.path.constData(), &theirs) == 0) {
        same = mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
        return FileStatus::success();
    }
    // Neither there yet: the same folder and name.
    struct stat folder {
    }, cardFolder{};
    same = ::stat(posix::folderOf(path).constData(), &folder) == 0
        && ::stat(location.folder.constData(), &cardFolder) == 0 && folder.st_dev == cardFolder.st_dev
        && folder.st_ino == cardFolder.st_ino && posix::baseNameOf(path) == posix::baseNameOf(location.path);
    return FileStatus::success();
}

// Between naming a finished export and renaming it over the file there is a
// moment a kill can still leave it under its hidden name: the next export
// to the same file removes such copies, if they are this user's own files.
void removeLeftoverExports(const QByteArray& folder, const QByteArray& baseName)
{
    std::vector<QByteArray> names;
    if (!posix::listFolder(folder, names).ok()) return;
    for (const QByteArray& name : names) {
        if (!posix::isLeftoverCopyOf(name, baseName)) continue;
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        if (sys::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            (void)posix::removeCopy(path, posix::displayNameOf(name));
    }
}

} // namespace

std::optional<ExchangeFormat> exportFormatFor(const QByteArray& path, std::optional<ExchangeFormat> given)
{
    if (given) return given;
    return formatFromFileName(posix::displayNameOf(posix::baseNameOf(path)));
}

ExportOutcome exportCards(Module1& module, ExchangeFormat format,
                          const std::function<FileStatus(QByteArrayView)>& write)
{
    ExportOutcome outcome;
    const CardWriter writer(format);
    QByteArray out;
    writer.begin(out);
    FileStatus written = FileStatus::success();
    const FileStatus scanned = module.ScanCards(
        false,
        [&](const StoredCard& card, const QString& number) {
            writer.append(card.record(number), out);
            ++outcome.cards;
            if (out.size() >= kStretch) {
                written = write(out);
                out.resize(0);
            }
            return written.ok() ? Module1::ScanStep::Next : Module1::ScanStep::Stop;
        },
        Module1::AfterScan::CloseFiles);
    if (written.ok() && !out.isEmpty()) written = write(out);
    // A missing card file holds no cards.
    outcome.status = scanned.isMissing() ? written : FileStatus(scanned).orFirstFailure(written);
    return outcome;
}

FileStatus refuseCardFiles(Module1& module, const QByteArray& path)
{
    for (const QString& name : {Module1::kCardFile, Module1::kCounterFile, Module1::kScratchFile}) {
        bool same = false;
        if (FileStatus told = isCardFile(module, path, name, same); !told.ok()) return told;
        if (same)
            return FileStatus::failure(posix::displayNameOf(posix::baseNameOf(path)),
                                       QStringLiteral("it is Kestrix's own %1").arg(name));
    }
    return FileStatus::success();
}

ExportOutcome exportCardsToFile(Module1& module, const QByteArray& path, ExchangeFormat format)
{
    if (FileStatus refused = refuseCardFiles(module, path); !refused.ok()) return {refused, 0};
    AtomicFile file(posix::folderOf(path), posix::baseNameOf(path), posix::displayNameOf(posix::baseNameOf(path)),
                    Durability::Durable, Links::FollowOwn);
    file.keepNamelessWhileWritten();
    removeLeftoverExports(posix::folderOf(path), posix::baseNameOf(path));
    ExportOutcome outcome{file.open(), 0};
    if (!outcome.status.ok()) return outcome;
    outcome = exportCards(module, format, [&](QByteArrayView bytes) { return file.write(bytes); });
    if (!outcome.status.ok()) return outcome; // the copy goes with `file`, the old file stays
    outcome.status = file.close();
    return outcome;
}

} // namespace kestrix
