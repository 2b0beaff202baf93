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

QString importReport(const QString& file, const ImportOutcome& outcome)
{
    if (!outcome.recognised)
        return QStringLiteral("Nothing was imported from %1: it holds no contacts (%2).").arg(file, outcome.reason);
    if (outcome.stopped)
        return QStringLiteral("The import of %1 was stopped: nothing was imported, the cards are as they were.")
            .arg(file);
    if (!outcome.status.ok()) {
        return QStringLiteral("Nothing was imported from %1.\n\n%2%3")
            .arg(file, fileAndReason(outcome.status),
                 outcome.status.mayPass() ? QStringLiteral("\n\nTry again in a moment.") : QString());
    }
    QString text = QStringLiteral("%1 imported from %2.").arg(cards(outcome.stored), file);
    if (outcome.alreadyThere > 0)
        text += QStringLiteral("\n%1 already there, not added.").arg(cards(outcome.alreadyThere));
    QStringList lost, notices;
    for (const ImportIssue& issue : outcome.issues) (issue.notice ? notices : lost) << describeIssue(issue);
    const qsizetype more = outcome.moreIssues;
    for (auto [heading, lines] : {std::pair{QStringLiteral("Not taken whole:"), &lost},
                                  std::pair{QStringLiteral("Worth knowing:"), &notices}}) {
        if (lines->isEmpty()) continue;
        text += QStringLiteral("\n\n") + heading;
        for (qsizetype i = 0; i < std::min(kIssuesShown, lines->size()); ++i) text += QLatin1Char('\n') + lines->at(i);
        if (lines->size() > kIssuesShown) text += QStringLiteral("\nand %1 more.").arg(lines->size() - kIssuesShown);
    }
    if (more > 0) text += QStringLiteral("\n\n%1 more reports like these.").arg(more);
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
