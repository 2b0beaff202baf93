// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "HistoryCommands.h"

#include "Commands.h"
#include "Terminal.h"
#include "cardfile/ChangeWords.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"

#include <limits>

namespace kestrix {

namespace {

void tellStayed(const QStringList& stayed, const QString& because, std::FILE* err)
{
    if (stayed.isEmpty()) return;
    complain(err,
             QStringLiteral("%1 %2: %3").arg(cardCount(stayed.size()), because, stayed.join(QStringLiteral(", "))));
}

} // namespace

int undoLastChange(Module1& module, std::FILE* out, std::FILE* err)
{
    Module1::Undone undone;
    const FileStatus status = module.UndoLastChange(undone);
    if (!status.ok()) {
        complain(err, QStringLiteral("nothing undone: %1").arg(why(status)));
        return kFailed;
    }
    say(out, QStringLiteral("Undid %1 from %2").arg(whatChanged(undone.change), whenChanged(undone.change.when)));
    tellStayed(undone.stayed, QStringLiteral("changed since stay as they are"), err);
    return kSucceeded;
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
    std::vector<Module1::Change> changes;
    FileStatus status = module.ChangeHistory(changes);
    if (!status.ok()) {
        complain(err, QStringLiteral("nothing restored: %1").arg(why(status)));
        return kFailed;
    }
    bool isNumber = false;
    const qsizetype number = changeNumber.toLongLong(&isNumber);
    if (!isNumber || number < 1 || number > static_cast<qsizetype>(changes.size())) {
        complain(
            err,
            QStringLiteral("nothing restored: there is no change %1; kestrix --history lists them").arg(changeNumber));
        return kMisused;
    }
    Module1::Restored restored;
    status = module.RestoreCards(changes[static_cast<size_t>(number - 1)].id, restored);
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
