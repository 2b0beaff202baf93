// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/AddressBookDiscovery.h"

#include "carddav/DavHref.h"
#include "carddav/DavNames.h"
#include "carddav/DavRequests.h"

namespace kestrix {

namespace {

QList<QUrl> startCandidates(const QUrl& start)
{
    QUrl wellKnown = canonicalUrl(start);
    wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
    wellKnown.setQuery(QString());
    QList<QUrl> candidates{canonicalUrl(start)};
    if (!sameCollection(wellKnown, candidates.front())) candidates.append(wellKnown);
    return candidates;
}

// The user's principal, from the first candidate that names one; an
// invalid URL where none does.
DavStatus findPrincipal(DavClient& client, const QUrl& start, QUrl& principal)
{
    for (const QUrl& candidate : startCandidates(start)) {
        Multistatus reply;
        const DavStatus status =
            propfind(client, candidate, 0, {{davnames::dav, QLatin1String("current-user-principal")}}, reply);
        if (failsEveryRequest(status)) return status;
        for (const DavResponse& response : std::as_const(reply.responses)) {
            if (!response.properties.principals.isEmpty()) {
                principal = response.properties.principals.front();
                return status;
            }
        }
    }
    return DavStatus::success(207);
}

DavStatus findHome(DavClient& client, const QUrl& principal, QUrl& home)
{
    Multistatus reply;
    const DavStatus status =
        propfind(client, principal, 0, {{davnames::carddav, QLatin1String("addressbook-home-set")}}, reply);
    if (failsEveryRequest(status)) return status;
    for (const DavResponse& response : std::as_const(reply.responses)) {
        if (!response.properties.homeSets.isEmpty()) {
            home = response.properties.homeSets.front();
            return DavStatus::success(207);
        }
    }
    // Servers without a home set keep the address books under the principal.
    home = principal;
    return DavStatus::success(207);
}

DavStatus listAddressBooks(DavClient& client, const QUrl& home, QList<AddressBook>& books)
{
    Multistatus reply;
    const DavStatus status = propfind(client, home, 1,
                                      {{davnames::dav, QLatin1String("resourcetype")},
                                       {davnames::dav, QLatin1String("displayname")},
                                       {davnames::dav, QLatin1String("supported-report-set")},
                                       {davnames::dav, QLatin1String("sync-token")},
                                       {davnames::calendarServer, QLatin1String("getctag")}},
                                      reply);
    if (!status.ok()) return status;
    for (const DavResponse& response : std::as_const(reply.responses)) {
        const DavProperties& found = response.properties;
        if (!found.isAddressBook) continue;
        books.append(
            AddressBook{response.href, found.displayName, found.offersSyncCollection, found.ctag, found.syncToken});
    }
    return status;
}

} // namespace

AddressBookDiscovery discoverAddressBooks(DavClient& client, const QUrl& start)
{
    AddressBookDiscovery result;
    result.status = findPrincipal(client, start, result.principal);
    if (!result.status.ok()) return result;
    // Without a principal, the address given may be a home or an address book itself.
    if (result.principal.isValid()) {
        result.status = findHome(client, result.principal, result.home);
        if (!result.status.ok()) return result;
    } else {
        result.home = canonicalUrl(start);
    }
    result.status = listAddressBooks(client, result.home, result.addressBooks);
    return result;
}

} // namespace kestrix
