// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"
#include "sync/SyncPlan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>

namespace kestrix {

// The address book as a sync sees it: every member, or what changed since
// the state's sync token. hrefs are hrefKey()s.
struct ServerView {
    DavStatus status;
    bool whole = true;     // `listing` is every member; else `changes` since the token
    ServerListing listing; // whole
    ServerChanges changes; // since the token
    QString syncToken;     // for the next sync; empty where the server gave none
};

// A sync-collection report where the server offers one (from `syncToken`,
// or from nothing where the server no longer knows it), else a listing of
// every member with its entity tag.
ServerView readServer(DavClient& client, const QUrl& addressBook, const QString& syncToken);

// A member's vCard as fetched.
struct ServerVCard {
    QString etag;
    QByteArray data;
};

// The vCards of `hrefs`, a few hundred to a request; those gone since the
// listing are simply not in `found`. `fetched` is told how many came.
struct FetchedVCards {
    DavStatus status;
    std::map<QString, ServerVCard> found;
};
FetchedVCards fetchVCards(DavClient& client, const QUrl& addressBook, const QList<QString>& hrefs,
                          const std::function<void(qsizetype fetched)>& fetched);

} // namespace kestrix
