// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeWords.h"

namespace kestrix {

QString whatChanged(const Module1::Change& change)
{
    // An undo's or a restore's subject is itself a change, already named.
    const bool ofAChange = change.isUndo || change.command == QLatin1String("Restore");
    const QString subject = ofAChange ? change.subject : QStringLiteral("\"%1\"").arg(change.subject);
    // A sync is with a server, not of a card.
    if (change.command == QLatin1String("Sync") && !change.isUndo)
        return QStringLiteral("Sync with %1 (%2)").arg(change.subject, cardCount(change.cards()));
    return QStringLiteral("%1 of %2 (%3)").arg(change.command, subject, cardCount(change.cards()));
}

QString whenChanged(const QDateTime& when)
{
    const QDateTime local = when.toLocalTime();
    if (local.date() == QDate::currentDate()) return local.toString(QStringLiteral("HH:mm"));
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString cardCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(count);
}

QString cardNames(const QStringList& names)
{
    constexpr qsizetype kNamed = 12;
    QString text = names.mid(0, kNamed).join(QStringLiteral(", "));
    if (names.size() > kNamed) text += QStringLiteral(" and %1 more").arg(names.size() - kNamed);
    return text;
}

} // namespace kestrix
