// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "HistoryCommands.h"

#include "Commands.h"
#include "Terminal.h"
#include "cardfile/ChangeWords.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"

#include <limits>
#include <optional>

namespace kestrix {

namespace {

void tellStayed(const QStringList& stayed, const QString& because, std::FILE* err)
{
    if (stayed.isEmpty()) return;
    complain(err,
             QStringLiteral("%1 %2: %3").arg(cardCount(stayed.size()), because, stayed.join(QStringLiteral(", "))));
}

// Says how an undo went.
int tellUndone(const FileStatus& status, const Module1::Undone& undone, std::FILE* out, std::FILE* err)
{
    if (!status.ok()) {
        complain(err, QStringLiteral("nothing undone: %1").arg(why(status)));
        return kFailed;
    }
    say(out, QStringLiteral("Undid %1 from %2").arg(whatChanged(undone.change), whenChanged(undone.change.when)));
    tellStayed(undone.stayed, QStringLiteral("changed since stay as they are"), err);
    return kSucceeded;
}

// The change numbered `changeNumber` in the list --history shows; none,
// told, where there is none, with the exit code to end with.
std::optional<Module1::Change> changeNumbered(Module1& module, const QString& changeNumber, const QString& what,
                                              std::FILE* err, int& exit)
{
    std::vector<Module1::Change> changes;
    const FileStatus status = module.ChangeHistory(changes);
    bool isNumber = false;
    const qsizetype number = changeNumber.toLongLong(&isNumber);
    exit = kFailed;
    if (!status.ok()) {
        complain(err, QStringLiteral("%1: %2").arg(what, why(status)));
    } else if (!isNumber || number < 1 || number > static_cast<qsizetype>(changes.size())) {
        complain(err,
                 QStringLiteral("%1: there is no change %2; kestrix --history lists them").arg(what, changeNumber));
        exit = kMisused;
    } else {
        return changes[static_cast<size_t>(number - 1)];
    }
    return std::nullopt;
}

} // namespace

int undoLastChange(Module1& module, std::FILE* out, std::FILE* err)
{
    Module1::Undone undone;
    const FileStatus status = module.UndoLastChange(undone);
    return tellUndone(status, undone, out, err);
}

int undoChange(Module1& module, const QString& changeNumber, std::FILE* out, std::FILE* err)
{
    int exit = kFailed;
    const std::optional<Module1::Change> change =
        changeNumbered(module, changeNumber, QStringLiteral("nothing undone"), err, exit);
    if (!change) return exit;
    Module1::Undone undone;
    const FileStatus status = module.UndoChange(change->id, undone);
    return tellUndone(status, undone, out, err);
}

int listHistory(Module1& module, std::FILE* out, std::FILE* err)
{
    std::vector<Module1::Change> changes;
    const FileStatus status = module.ChangeHistory(changes);
    if (!status.ok()) {
        complain(err, QStringLiteral("no history: %1").arg(why(status)));
        return kFailed;
    }
    if (changes.empty()) say(err, QStringLiteral("No change of these cards is on record."));
    qsizetype number = 0;
    for (const Module1::Change& change : changes) {
        QString line = QStringLiteral("%1  %2  %3  %4  +%5 -%6")
                           .arg(++number, 3)
                           .arg(change.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), change.computer,
                                whatChanged(change))
                           .arg(change.added.size())
                           .arg(change.removed.size());
        if (change.takenBack) line += QStringLiteral("  (undone)");
        say(out, line);
    }
    return kSucceeded;
}

int restoreCards(Module1& module, const QString& changeNumber, std::FILE* out, std::FILE* err)
{
    int exit = kFailed;
    const std::optional<Module1::Change> change =
        changeNumbered(module, changeNumber, QStringLiteral("nothing restored"), err, exit);
    if (!change) return exit;
    Module1::Restored restored;
    const FileStatus status = module.RestoreCards(change->id, restored);
    if (!status.ok()) {
        complain(err, QStringLiteral("nothing restored: %1").arg(why(status)));
        tellStayed(restored.stayed, QStringLiteral("stand in the file again"), err);
        return kFailed;
    }
    say(out,
        QStringLiteral("Restored %1 of %2 from %3")
            .arg(cardCount(restored.cards), whatChanged(restored.change), whenChanged(restored.change.when)));
    tellStayed(restored.stayed, QStringLiteral("stand in the file again and stay as they are"), err);
    return kSucceeded;
}

int keepHistory(Module1& module, const QString& size, std::FILE* out, std::FILE* err)
{
    static const QString kUnits = QStringLiteral("KMG");
    QString digits = size.trimmed().toUpper();
    qint64 unit = 1;
    if (const qsizetype at = kUnits.indexOf(digits.right(1)); !digits.isEmpty() && at >= 0) {
        unit = qint64(1) << (10 * (at + 1));
        digits.chop(1);
    }
    bool isNumber = false;
    const qint64 count = digits.toLongLong(&isNumber);
    if (!isNumber || count < 0 || count > std::numeric_limits<qint64>::max() / unit) {
        complain(err, QStringLiteral("\"%1\" is not a size: give one as 64M, 1G or 500K").arg(size));
        return kMisused;
    }
    const FileStatus status = module.SetHistoryLimit(count * unit);
    if (!status.ok()) {
        complain(err, QStringLiteral("the history limit stays as it was: %1").arg(why(status)));
        return kFailed;
    }
    say(out,
        QStringLiteral("This computer keeps the changes of the last %1 days, up to %2 MiB.")
            .arg(30)
            .arg(count * unit / (1024 * 1024)));
    return kSucceeded;
}

} // namespace kestrix
