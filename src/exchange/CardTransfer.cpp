// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardTransfer.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "files/NamedFile.h"
#include "formats/CardExchange.h"

namespace kestrix {

namespace {

// Handed on in stretches of this size, so memory does not grow with the file.
constexpr qsizetype kStretch = 256 * 1024;

} // namespace

std::optional<ExchangeFormat> exportFormatFor(const QByteArray& path, std::optional<ExchangeFormat> given)
{
    if (given) return given;
    return formatFromFileName(displayNameOfPath(path));
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
        if (FileStatus told = isSameFile(path, module.directory(), name, same); !told.ok()) return told;
        if (same)
            return FileStatus::failure(displayNameOfPath(path), QStringLiteral("it is Kestrix's own %1").arg(name));
    }
    return FileStatus::success();
}

ExportOutcome exportCardsToFile(Module1& module, const QByteArray& path, ExchangeFormat format)
{
    if (FileStatus refused = refuseCardFiles(module, path); !refused.ok()) return {refused, 0};
    NamedFileWriter file(path);
    ExportOutcome outcome{file.open(), 0};
    if (!outcome.status.ok()) return outcome;
    outcome = exportCards(module, format, [&](QByteArrayView bytes) { return file.write(bytes); });
    if (!outcome.status.ok()) return outcome; // the copy goes with `file`, the old file stays
    outcome.status = file.close();
    return outcome;
}

} // namespace kestrix
