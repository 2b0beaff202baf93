// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardSync.h"

#include "SyncPass.h"
#include "carddav/DavHref.h"
#include "cardfile/Module1.h"
#include "sync/SyncStateFile.h"

namespace kestrix {

namespace {

// A sync that keeps meeting a phone's writes stops after this many passes;
// what is left, the next sync takes.
constexpr int kPasses = 3;

SyncOutcome failed(FileStatus status)
{
    SyncOutcome outcome;
    outcome.result = SyncOutcome::Result::FileFailed;
    outcome.file = std::move(status);
    return outcome;
}

// What the user typed: a bare host name means HTTPS.
QUrl serverUrl(const QString& server)
{
    const QString trimmed = server.trimmed();
    return QUrl(trimmed.contains(QStringLiteral("://")) ? trimmed : QStringLiteral("https://") + trimmed);
}

bool isNamed(const AddressBook& book, const QString& name)
{
    const QString lastSegment = book.href.path().section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return book.displayName.compare(name, Qt::CaseInsensitive) == 0
        || lastSegment.compare(name, Qt::CaseInsensitive) == 0 || sameCollection(book.href, QUrl(name));
}

// The address book the account names, or the only one there is.
bool chooseAddressBook(const AddressBookDiscovery& found, const QString& name, QUrl& chosen, SyncOutcome& outcome)
{
    outcome.addressBooks = found.addressBooks;
    if (!name.isEmpty()) {
        for (const AddressBook& book : found.addressBooks) {
            if (!isNamed(book, name)) continue;
            chosen = book.href;
            return true;
        }
        outcome.result = SyncOutcome::Result::NoAddressBook;
        outcome.addressBook = name;
        return false;
    }
    if (found.addressBooks.size() == 1) {
        chosen = found.addressBooks.front().href;
        return true;
    }
    outcome.result =
        found.addressBooks.isEmpty() ? SyncOutcome::Result::NoAddressBook : SyncOutcome::Result::ChooseAddressBook;
    return false;
}

} // namespace

SyncOutcome syncCardFile(Module1& module, const SyncAccount& account, const SyncProgressSink& progress)
{
    QString stateName;
    if (FileStatus named = module.SyncStateName(stateName); !named.ok()) return failed(std::move(named));
    SyncState state;
    if (FileStatus loaded = loadSyncState(module.directory(), stateName, state); !loaded.ok() && !loaded.isMissing())
        return failed(std::move(loaded));
    SyncOutcome outcome;
    const QString server = account.server.isEmpty() ? state.server : plainServerAddress(account.server);
    const QString user = account.user.isEmpty() ? state.user : account.user;
    if (server.isEmpty()) {
        outcome.result = SyncOutcome::Result::NoAccount;
        return outcome;
    }
    DavClient client(DavClientSettings{user, account.password, account.timeout});
    QUrl addressBook(state.addressBook);
    const bool asBefore =
        server == state.server && user == state.user && !state.addressBook.isEmpty() && account.addressBook.isEmpty();
    if (!asBefore) {
        if (progress) progress(SyncProgress{0, 0, QStringLiteral("Looking for the address book")});
        const AddressBookDiscovery found = discoverAddressBooks(client, serverUrl(server));
        if (!found.status.ok()) {
            outcome.result = SyncOutcome::Result::ServerFailed;
            outcome.dav = found.status;
            return outcome;
        }
        if (!chooseAddressBook(found, account.addressBook, addressBook, outcome)) return outcome;
        // Another address book shares nothing with the one synced before.
        if (hrefKey(addressBook) != state.addressBook) state = SyncState{hrefKey(addressBook), {}, {}, {}, {}};
        state.server = server;
        state.user = user;
        if (FileStatus saved = saveSyncState(module.directory(), stateName, state); !saved.ok())
            return failed(std::move(saved));
    }
    outcome.addressBook = addressBook.toDisplayString();
    SyncRun run{module, client, addressBook, stateName, state, outcome, progress};
    for (int pass = 0; pass < kPasses && runSyncPass(run) == PassEnd::Again; ++pass) {}
    return outcome;
}

QString plainServerAddress(const QString& typed)
{
    const QString trimmed = typed.trimmed();
    const QUrl url = serverUrl(trimmed);
    if (!url.isValid() || url.userInfo().isEmpty()) return trimmed;
    return url.adjusted(QUrl::RemoveUserInfo).toString();
}

FileStatus rememberedAccount(Module1& module, SyncAccount& account)
{
    QString stateName;
    if (FileStatus named = module.SyncStateName(stateName); !named.ok()) return named;
    SyncState state;
    const FileStatus loaded = loadSyncState(module.directory(), stateName, state);
    if (!loaded.ok() && !loaded.isMissing()) return loaded;
    account.server = state.server;
    account.user = state.user;
    return FileStatus::success();
}

} // namespace kestrix
