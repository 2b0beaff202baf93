// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace kestrix {

struct AddressBook {
    QUrl href; // canonical (DavHref.h)
    QString displayName;
    bool offersSyncCollection = false;
    QString ctag;      // empty if the server keeps none
    QString syncToken; // empty if the server gave none
};

struct AddressBookDiscovery {
    DavStatus status;
    QUrl principal; // invalid where the server names none
    QUrl home;      // the collection the address books were listed in
    QList<AddressBook> addressBooks;
};

// The user's address books, from any address of the server: the one given
// or the server's /.well-known/carddav leads to the user's principal, the
// principal to the home of the address books, and the home lists them. An
// address book's own address works too. Finding none is no failure.
AddressBookDiscovery discoverAddressBooks(DavClient& client, const QUrl& start);

} // namespace kestrix
