// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardTransfer.h"

#include "exchange/CardExchange.h"
#include "exchange/CsvReader.h"
#include "exchange/VCardReader.h"
#include "storage/AtomicFile.h"
#include "storage/Module1.h"
#include "storage/PosixFile.h"
#include "storage/SystemCalls.h"
#include "storage/TextEncoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace kestrix {

namespace {

// Handed on in stretches of this size, so memory does not grow with the file.
constexpr qsizetype kStretch = 256 * 1024;

// Larger than any file of contacts a person keeps, photos and all.
constexpr qint64 kLargestContactsFile = qint64(1) << 30;

// Whether `path`, after links, is `name` of the card files or where it leads.
bool isCardFile(Module1& module, const QFileInfo& target, const QString& name)
{
    posix::FileLocation location;
    if (!posix::followLinks(module.directory(), name, location).ok()) return false;
    struct stat mine {
    }, theirs{};
    const QByteArray targetPath = QFile::encodeName(target.absoluteFilePath());
    if (::stat(targetPath.constData(), &mine) == 0 && ::stat(location.path.constData(), &theirs) == 0)
        return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
    // Neither there yet: the same folder and name.
    const QFileInfo card(QFile::decodeName(location.path));
    return QDir(target.absolutePath()).canonicalPath() == QDir(card.absolutePath()).canonicalPath()
        && target.fileName() == card.fileName();
}

} // namespace

std::optional<ExchangeFormat> exportFormatFor(const QString& path, std::optional<ExchangeFormat> given)
{
    if (given) return given;
    return formatFromFileName(QFileInfo(path).fileName());
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

FileStatus refuseCardFiles(Module1& module, const QString& path)
{
    const QFileInfo target(path);
    for (const QString& name : {Module1::kCardFile, Module1::kCounterFile, Module1::kScratchFile}) {
        if (isCardFile(module, target, name))
            return FileStatus::failure(target.fileName(), QStringLiteral("it is Kestrix's own %1").arg(name));
    }
    return FileStatus::success();
}

ExportOutcome exportCardsToFile(Module1& module, const QString& path, ExchangeFormat format)
{
    if (FileStatus refused = refuseCardFiles(module, path); !refused.ok()) return {refused, 0};
    const QFileInfo target(path);
    AtomicFile file(target.absolutePath(), target.fileName(), Durability::Durable, Links::Follow);
    ExportOutcome outcome{file.open(), 0};
    if (!outcome.status.ok()) return outcome;
    outcome = exportCards(module, format, [&](QByteArrayView bytes) { return file.write(bytes); });
    if (!outcome.status.ok()) return outcome; // the copy goes with `file`, the old file stays
    outcome.status = file.close();
    return outcome;
}

ImportResult readContactsFile(const QString& path, std::optional<ExchangeFormat> format, FileStatus& status)
{
    const QFileInfo source(path);
    QByteArray bytes;
    int fd = -1;
    status = posix::openForReading(source.absolutePath(), source.fileName(), fd);
    if (status.ok()) {
        struct stat info {};
        if (sys::fstat(fd, &info) != 0)
            status = FileStatus::fromErrno(source.fileName(), errno);
        else if (info.st_size > kLargestContactsFile)
            status = FileStatus::failure(source.fileName(), QStringLiteral("it is larger than any file of contacts"));
        else
            bytes.reserve(static_cast<qsizetype>(info.st_size));
        QByteArray buffer(kStretch, Qt::Uninitialized);
        while (status.ok()) {
            const ssize_t got = sys::read(fd, buffer.data(), static_cast<size_t>(buffer.size()));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) status = FileStatus::fromErrno(source.fileName(), errno);
            if (got <= 0) break;
            if (bytes.size() + got > kLargestContactsFile)
                status =
                    FileStatus::failure(source.fileName(), QStringLiteral("it is larger than any file of contacts"));
            bytes.append(buffer.constData(), got);
        }
        status.orFirstFailure(posix::closeFile(fd, source.fileName()));
    }
    if (!status.ok()) return {};
    if (!format) return readCards(bytes);
    return *format == ExchangeFormat::Csv ? readCsv(bytes) : readVCards(bytes);
}

} // namespace kestrix
