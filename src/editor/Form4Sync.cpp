// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The card file synced with a CardDAV server from the editor's menu: "Sync
// with server…" asks for the account, "Sync now" takes the one synced last.
// As after an undo, the card on screen stays as it is, and the search list
// shows the cards as they are the next time it fills.
#include "Form4.h"

#include "EditorMessages.h"
#include "SyncAccountDialog.h"

#include "cardsync/CardSync.h"
#include "changes/HistoryWindow.h"
#include "keyring/Keyring.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

namespace kestrix {

void Form4::SyncWithServer_Click()
{
    SyncAccount account;
    // A state file that cannot be read leaves the boxes empty; the sync
    // itself then says what is wrong with it.
    if (!rememberedAccount(module_, account).ok()) account = {};
    if (!account.server.isEmpty()) account.password = readPassword(account.server, account.user).password;
    syncThroughDialog(account, {});
}

void Form4::SyncNow_Click()
{
    SyncAccount account;
    if (const FileStatus known = rememberedAccount(module_, account); !known.ok()) {
        platform_.showNotice(this, QStringLiteral("Nothing was synced.\n\n%1").arg(fileAndReason(known)),
                             MessageIcon::Warning);
        return;
    }
    if (account.server.isEmpty()) {
        syncThroughDialog(account, {});
        return;
    }
    // A server that asks for no password gets none; one that asks says so,
    // and the keyring's reason goes with it.
    const KeyringAnswer answer = readPassword(account.server, account.user);
    account.password = answer.password;
    const SyncOutcome outcome = runSync(account);
    if (outcome.result == SyncOutcome::Result::ChooseAddressBook)
        syncThroughDialog(account, outcome.addressBooks);
    else
        tellSync(outcome, answer.ok ? QString() : answer.reason);
}

void Form4::syncThroughDialog(SyncAccount account, QList<AddressBook> books)
{
    for (;;) {
        SyncAccountDialog dialog(this);
        dialog.setAccount(account);
        if (!books.isEmpty())
            dialog.offerAddressBooks(books, QStringLiteral("The server holds several address books: choose one."));
        if (dialog.exec() != QDialog::Accepted) return;
        account = dialog.account();
        // An empty password is a server that asks for none: nothing to keep.
        if (!account.password.isEmpty()) {
            const KeyringAnswer kept = storePassword(account.server, account.user, account.password);
            if (!kept.ok)
                platform_.showNotice(this,
                                     QStringLiteral("The password could not be kept (%1). This sync uses it, "
                                                    "but it is kept nowhere: give it again next time.")
                                         .arg(kept.reason),
                                     MessageIcon::Warning);
        }
        const SyncOutcome outcome = runSync(account);
        if (outcome.result != SyncOutcome::Result::ChooseAddressBook) {
            tellSync(outcome, {});
            return;
        }
        books = outcome.addressBooks;
    }
}

SyncOutcome Form4::runSync(const SyncAccount& account)
{
    SyncOutcome outcome;
    {
        const BusyCursor busy;
        // The sync's network client waits in a local event loop, so the
        // progress's own event handling keeps the window painting.
        constexpr int kSteps = 1000;
        const std::unique_ptr<Platform::Progress> progress = platform_.showProgress(
            this, QStringLiteral("Syncing with %1…").arg(account.server), kSteps, ProgressStop::NotOffered);
        outcome = syncCardFile(module_, account, [&](const SyncProgress& now) {
            if (!now.step.isEmpty()) progress->tell(now.step);
            progress->reach(now.total > 0 ? static_cast<int>(std::min(now.done, now.total) * kSteps / now.total) : 0);
        });
        progress->reach(kSteps);
    }
    if (history_) (void)history_->fillChanges(); // a failure is shown in its list
    return outcome;
}

void Form4::tellSync(const SyncOutcome& outcome, const QString& keyringWhy)
{
    if (outcome.ok()) {
        platform_.showNotice(this, outcome.summary(), MessageIcon::Information);
    } else {
        QString text = outcome.summary();
        if (outcome.dav.problem == DavProblem::AuthRefused)
            text +=
                QStringLiteral("\n\n%1Give the password through \"Sync with server…\".")
                    .arg(keyringWhy.isEmpty() ? QString() : QStringLiteral("From the keyring: %1. ").arg(keyringWhy));
        platform_.showNotice(this, text, MessageIcon::Warning);
    }
    tellNotices();
}

} // namespace kestrix
