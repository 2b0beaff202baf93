// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Commands.h"

#include "HistoryCommands.h"
#include "SyncCommand.h"
#include "Terminal.h"

#include "cardfile/ChangeWords.h"
#include "cardfile/Module1.h"
#include "exchange/CardTransfer.h"
#include "exchange/ContactImport.h"
#include "files/FileStatus.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>

namespace kestrix {

namespace {

// What a merge did to the cards, for a terminal.
QString mergedCards(const Module1::Notice& notice)
{
    using Kind = Module1::Notice::Kind;
    const QString named = cardNames(notice.cards);
    switch (notice.kind) {
    case Kind::Merged:
        return QStringLiteral("%1 merged from %2%3")
            .arg(cardCount(notice.count), notice.where, named.isEmpty() ? QString() : QStringLiteral(": ") + named);
    case Kind::MergeChanged:
        return QStringLiteral("%1 now as the other computer changed them: %2").arg(cardCount(notice.count), named);
    case Kind::MergeRemoved:
        return QStringLiteral("%1 deleted on the other computer went too: %2").arg(cardCount(notice.count), named);
    case Kind::MergeBothChanged:
        return QStringLiteral("%1 changed on both computers: both kept, the other's under a fresh number: %2")
            .arg(cardCount(notice.count), named);
    case Kind::MergeSameNumber:
        return QStringLiteral("%1 hold a number a different card here holds too; both stay: %2")
            .arg(cardCount(notice.count), named);
    case Kind::MergeKeptChanged:
        return QStringLiteral("%1 deleted on one computer and changed on the other stay: %2")
            .arg(cardCount(notice.count), named);
    default:
        return QStringLiteral("%1 of the copy stay deleted, as they were deleted here: %2")
            .arg(cardCount(notice.count), named);
    }
}

// What the storage noticed on the way, for a terminal.
bool tellNotices(Module1& module, std::FILE* out, std::FILE* err)
{
    bool whole = true;
    for (const Module1::Notice& notice : module.takeNotices()) {
        switch (notice.kind) {
        case Module1::Notice::Kind::WithoutLock:
            complain(err,
                     QStringLiteral("%1 is on a file system that cannot lock files; two programs changing these "
                                    "cards at the same moment could undo each other's change")
                         .arg(notice.where));
            break;
        case Module1::Notice::Kind::OtherNames:
            complain(err,
                     QStringLiteral("%1 has %2 other name(s) (hard links), which still hold the cards as they "
                                    "were; use a symbolic link instead")
                         .arg(notice.where)
                         .arg(notice.count));
            break;
        case Module1::Notice::Kind::Merged:
        case Module1::Notice::Kind::MergeChanged:
        case Module1::Notice::Kind::MergeRemoved:
        case Module1::Notice::Kind::MergeBothChanged:
        case Module1::Notice::Kind::MergeKeptChanged:
        case Module1::Notice::Kind::MergeStayedDeleted:
        case Module1::Notice::Kind::MergeSameNumber:
            say(out, mergedCards(notice));
            break;
        case Module1::Notice::Kind::CounterMerged:
            say(out, QStringLiteral("counter set to %1 from another computer's copy").arg(notice.where));
            break;
        case Module1::Notice::Kind::CopyNotMerged:
            complain(err, QStringLiteral("not merged, left where it is: %1: %2").arg(notice.where, notice.reason));
            whole = false;
            break;
        case Module1::Notice::Kind::CopyNotRemoved:
            complain(err,
                     QStringLiteral("merged, but it could not be removed: %1: %2; remove it yourself, or its "
                                    "cards come back at the next merge")
                         .arg(notice.where, notice.reason));
            whole = false;
            break;
        }
    }
    return whole;
}

FileStatus writeToStandardOutput(QByteArrayView bytes)
{
    if (std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size()))
        return FileStatus::fromErrno(QStringLiteral("standard output"), errno);
    return FileStatus::success();
}

int exportTo(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err)
{
    const bool toStandardOutput = request.file == "-";
    if (toStandardOutput && request.standardOutputClosed) {
        complain(err, QStringLiteral("nothing exported: standard output is closed"));
        return kFailed;
    }
    if (FileStatus refused = refuseCardFiles(module, request.file); !toStandardOutput && !refused.ok()) {
        complain(err, QStringLiteral("nothing exported: %1").arg(why(refused)));
        return kFailed;
    }
    const std::optional<ExchangeFormat> format = toStandardOutput ? request.format.value_or(ExchangeFormat::VCard4)
                                                                  : exportFormatFor(request.file, request.format);
    if (!format) {
        complain(err,
                 QStringLiteral("cannot tell the format from the name \"%1\": give --format vcard4, vcard3 or csv")
                     .arg(posix::displayNameOf(request.file)));
        return kMisused;
    }
    ExportOutcome outcome = toStandardOutput ? exportCards(module, *format, writeToStandardOutput)
                                             : exportCardsToFile(module, request.file, *format);
    if (toStandardOutput && outcome.status.ok() && std::fflush(stdout) != 0)
        outcome.status = FileStatus::fromErrno(QStringLiteral("standard output"), errno);
    if (!outcome.status.ok()) {
        complain(err, QStringLiteral("nothing exported: %1").arg(why(outcome.status)));
        return kFailed;
    }
    // The cards themselves may be going to standard output.
    say(toStandardOutput ? err : out, QStringLiteral("%1 exported").arg(cardCount(outcome.cards)));
    return kSucceeded;
}

int importFrom(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err)
{
    const ImportOutcome outcome = importContacts(module, request.file, request.format, {},
                                                 request.addIdentical ? IdenticalCards::Add : IdenticalCards::Skip);
    const bool noticesWhole = tellNotices(module, out, err);
    if (!outcome.recognised) {
        complain(err,
                 QStringLiteral("nothing imported: %1 holds no contacts: %2")
                     .arg(posix::displayNameOf(request.file), outcome.reason));
        return kFailed;
    }
    if (!outcome.status.ok()) {
        complain(err, QStringLiteral("nothing imported: %1").arg(why(outcome.status)));
        return kFailed;
    }
    for (const ImportIssue& issue : outcome.issues) complain(err, describeIssue(issue));
    if (outcome.moreIssues > 0) complain(err, QStringLiteral("and %1 more like these").arg(outcome.moreIssues));
    QString told = QStringLiteral("%1 imported").arg(cardCount(outcome.stored));
    if (outcome.alreadyThere > 0)
        told += QStringLiteral("; %1 already there, not added").arg(cardCount(outcome.alreadyThere));
    say(out, told);
    return !outcome.anyCardNotWhole && noticesWhole ? kSucceeded : kFailed;
}

} // namespace

int runCommand(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err)
{
    switch (request.action) {
    case CommandRequest::Action::ShowHelp:
        std::fputs(request.text.toLocal8Bit().constData(), out);
        return kSucceeded;
    case CommandRequest::Action::ShowVersion:
        say(out, QStringLiteral("kestrix %1").arg(QCoreApplication::applicationVersion()));
        return kSucceeded;
    case CommandRequest::Action::Mistake:
        complain(err, request.text);
        complain(err, QStringLiteral("kestrix --help tells what it takes"));
        return kMisused;
    case CommandRequest::Action::Export:
        return exportTo(request, module, out, err);
    case CommandRequest::Action::Import:
        return importFrom(request, module, out, err);
    case CommandRequest::Action::MergeConflicts: {
        const FileStatus status = module.MergeConflictCopies();
        const bool whole = tellNotices(module, out, err);
        if (!status.ok()) {
            complain(err, QStringLiteral("nothing merged: %1").arg(why(status)));
            return kFailed;
        }
        return whole ? kSucceeded : kFailed;
    }
    case CommandRequest::Action::Undo:
        return undoLastChange(module, out, err);
    case CommandRequest::Action::UndoChange:
        return undoChange(module, request.text, out, err);
    case CommandRequest::Action::History:
        return listHistory(module, out, err);
    case CommandRequest::Action::Restore:
        return restoreCards(module, request.text, out, err);
    case CommandRequest::Action::KeepHistory:
        return keepHistory(module, request.text, out, err);
    case CommandRequest::Action::Sync:
        return syncWithServer(request, module, out, err);
    case CommandRequest::Action::OpenWindow:
        break;
    }
    return kMisused;
}

} // namespace kestrix
