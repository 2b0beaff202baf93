// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace kestrix {

struct WriteResult {
    // PreconditionFailed: someone else changed the resource since `etag`, or,
    // for a new one, something already exists at its address.
    DavStatus status;
    // The new entity tag, where the server sent a strong one; else empty, and
    // the caller fetches it if it needs one.
    QString etag;
};

// Writes `vcard` to `href`: over the version with entity tag `etag` (as
// listed, quotes and all), or, with an empty `etag`, as a new resource that
// must not exist yet.
WriteResult putVCard(DavClient& client, const QUrl& href, const QByteArray& vcard, const QString& etag);

// Deletes `href` if its entity tag is still `etag`. A resource already gone
// gives NotFound.
DavStatus deleteResource(DavClient& client, const QUrl& href, const QString& etag);

} // namespace kestrix
