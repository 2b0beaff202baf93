// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace kestrix {

struct FetchedResource {
    QUrl href; // canonical (DavHref.h)
    QString etag;
    QByteArray data;
};

struct MultigetResult {
    DavStatus status;
    QList<FetchedResource> found;
    QList<QUrl> missing; // asked for, but not given: gone since the listing
};

// The members `hrefs` of `addressBook` with their vCards and entity tags,
// in one addressbook-multiget REPORT (Multistatus.h says how line ends come
// through XML). Keep each call to a few hundred hrefs, so the reply stays
// under the client's size limit.
MultigetResult multiget(DavClient& client, const QUrl& addressBook, const QList<QUrl>& hrefs);

struct FetchResult {
    DavStatus status;
    FetchedResource resource;
};

// One member by GET: its bytes exactly as the server holds them, and the
// entity tag of the answer.
FetchResult fetchResource(DavClient& client, const QUrl& href);

} // namespace kestrix
