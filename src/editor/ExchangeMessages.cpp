// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ExchangeMessages.h"

#include "EditorMessages.h"

#include <QStringList>

namespace kestrix {

namespace {

// A long list of cards not taken whole fits no message box; the first ones
// show what went wrong.
constexpr qsizetype kIssuesShown = 12;

QString cards(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(count);
}

} // namespace

QString importReport(const QString& file, const FileStatus& read, const ImportResult& result, const FileStatus& stored,
                     qsizetype imported)
{
    if (!read.ok()) return QStringLiteral("Nothing was imported from %1.\n\n%2").arg(file, fileAndReason(read));
    if (!result.recognised)
        return QStringLiteral("Nothing was imported from %1: it holds no contacts (%2).").arg(file, result.reason);
    if (!stored.ok()) {
        return QStringLiteral("Nothing was imported from %1: the cards could not be stored.\n\n%2%3")
            .arg(file, fileAndReason(stored),
                 stored.mayPass() ? QStringLiteral("\n\nTry again in a moment.") : QString());
    }
    QString text = QStringLiteral("%1 imported from %2.").arg(cards(imported), file);
    if (result.issues.empty()) return text;
    text += QStringLiteral("\n\nNot taken whole:");
    const qsizetype shown = std::min<qsizetype>(kIssuesShown, static_cast<qsizetype>(result.issues.size()));
    for (qsizetype i = 0; i < shown; ++i) text += QStringLiteral("\n") + describeIssue(result.issues[i]);
    if (static_cast<qsizetype>(result.issues.size()) > shown)
        text += QStringLiteral("\nand %1 more.").arg(static_cast<qsizetype>(result.issues.size()) - shown);
    return text;
}

QString exportedMessage(qsizetype count, const QString& path)
{
    return QStringLiteral("%1 exported to %2.").arg(cards(count), path);
}

QString notExportedMessage(const FileStatus& failure)
{
    return QStringLiteral("The cards were not exported.\n\n%1").arg(fileAndReason(failure));
}

} // namespace kestrix
