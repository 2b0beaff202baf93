// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardSync.h"

namespace kestrix {

namespace {

QString cards(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 card") : QStringLiteral("%1 cards").arg(count);
}

QString bookNames(const QList<AddressBook>& books)
{
    QStringList names;
    for (const AddressBook& book : books)
        names << (book.displayName.isEmpty()
                      ? book.href.toDisplayString()
                      : QStringLiteral("%1 (%2)").arg(book.displayName, book.href.toDisplayString()));
    return names.join(QStringLiteral(", "));
}

QString syncedSummary(const SyncOutcome& outcome)
{
    QStringList done;
    if (outcome.fromServer > 0)
        done << QStringLiteral("%1 from the server (%2 new)").arg(cards(outcome.fromServer)).arg(outcome.newFromServer);
    if (outcome.toServer > 0)
        done << QStringLiteral("%1 to the server (%2 new)").arg(cards(outcome.toServer)).arg(outcome.newToServer);
    if (outcome.deletedHere > 0) done << QStringLiteral("%1 deleted here").arg(cards(outcome.deletedHere));
    if (outcome.deletedThere > 0) done << QStringLiteral("%1 deleted on the server").arg(cards(outcome.deletedThere));
    QString text = done.isEmpty()
        ? QStringLiteral("Synced with %1: nothing had changed on either side.").arg(outcome.addressBook)
        : QStringLiteral("Synced with %1: %2.").arg(outcome.addressBook, done.join(QStringLiteral(", ")));
    if (!outcome.keptTwice.isEmpty())
        text += QStringLiteral(" Changed on both sides, so kept twice, the server's version under a new number: %1.")
                    .arg(outcome.keptTwice.join(QStringLiteral(", ")));
    if (outcome.unreadable > 0)
        text += QStringLiteral(" The server holds %1 that read as no card; they stay there as they are.")
                    .arg(cards(outcome.unreadable));
    if (outcome.leftForNext > 0)
        text += QStringLiteral(" %1 changed again while syncing; the next sync takes them.")
                    .arg(cards(outcome.leftForNext));
    return text;
}

} // namespace

QString SyncOutcome::summary() const
{
    const QString nothingLost = QStringLiteral(" Nothing was lost: the next sync carries on where this one stopped.");
    switch (result) {
    case Result::Synced:
        return syncedSummary(*this);
    case Result::NoAccount:
        return QStringLiteral("This card file has not been synced yet: give the server's address and your user name.");
    case Result::ChooseAddressBook:
        return QStringLiteral("The server holds several address books; choose one of: %1.")
            .arg(bookNames(addressBooks));
    case Result::NoAddressBook:
        if (addressBook.isEmpty()) return QStringLiteral("The server holds no address book for this user.");
        return QStringLiteral("The server holds no address book named \"%1\"; it holds: %2.")
            .arg(addressBook, bookNames(addressBooks));
    case Result::ServerFailed:
        return dav.reason + nothingLost;
    case Result::FileFailed:
        return file.describe() + nothingLost;
    }
    return {};
}

} // namespace kestrix
