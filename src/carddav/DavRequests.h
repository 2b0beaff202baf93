// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavClient.h"
#include "carddav/Multistatus.h"

#include <QLatin1String>

namespace kestrix {

// A property to ask for: its namespace and local name.
struct DavPropertyName {
    QLatin1String ns;
    QLatin1String name;
};

// A PROPFIND body asking for `properties`.
QByteArray propfindBody(const QList<DavPropertyName>& properties);

// PROPFIND `url` with `depth` (0 or 1) for `properties`, its multistatus
// read into `result`, hrefs resolved against the address that answered.
DavStatus propfind(DavClient& client, const QUrl& url, int depth, const QList<DavPropertyName>& properties,
                   Multistatus& result);

// Sends `request` and reads its 207 answer into `result`; any other status is
// a failure with its reason. Hands back the reply's status and body in
// `reply`, for a caller that looks at an error body.
DavStatus runMultistatus(DavClient& client, const DavRequest& request, Multistatus& result, DavReply& reply);

// The path and query of `url`, encoded, as a request body names it.
QString requestPath(const QUrl& url);

// The text of `url` for a reason shown to the user.
QString shownUrl(const QUrl& url);

} // namespace kestrix
