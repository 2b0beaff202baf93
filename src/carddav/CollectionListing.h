// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"

#include <QList>
#include <QString>
#include <QUrl>

namespace kestrix {

// A member of an address book and its entity tag, quoted as If-Match wants.
struct DavMember {
    QUrl href;    // canonical (DavHref.h)
    QString etag; // empty where the server gave none: a multiget fetches it
};

struct SyncCollectionResult {
    // InvalidSyncToken: the server no longer knows the token; ask again with
    // an empty one and compare everything.
    DavStatus status;
    QList<DavMember> changed; // new or changed since the token
    QList<QUrl> removed;
    QString syncToken; // for the next call
    // The server sent only part of the changes: ask again with syncToken.
    bool truncated = false;
};

// What changed in `addressBook` since `syncToken` (sync-collection REPORT);
// an empty token lists every member.
SyncCollectionResult syncCollection(DavClient& client, const QUrl& addressBook, const QString& syncToken);

struct MemberListing {
    DavStatus status;
    QList<DavMember> members;
};

// Every member of `addressBook` with its entity tag (PROPFIND, depth 1), for
// servers that offer no sync-collection.
MemberListing listMembers(DavClient& client, const QUrl& addressBook);

} // namespace kestrix
