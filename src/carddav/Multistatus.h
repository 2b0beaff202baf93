// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavStatus.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace kestrix {

// The properties of one resource that this layer asks for, as far as the
// server gave them with a 2xx status. Anything else it sent is skipped.
struct DavProperties {
    QString etag; // as If-Match wants it, quotes and all; empty if not given
    QString displayName;
    bool isCollection = false;
    bool isAddressBook = false;
    bool offersSyncCollection = false; // listed in DAV:supported-report-set
    QString ctag;
    QString syncToken;
    bool hasAddressData = false;
    // UTF-8; line ends as the server wrote them, where it wrote CRLF or
    // &#13; throughout, as vCard has it (a reply whose lines all end in LF
    // gives LF, as XML cannot tell LF and CRLF apart)
    QByteArray addressData;
    QList<QUrl> principals;
    QList<QUrl> homeSets;
};

// One DAV:response: its href and either a status of its own (a removed
// member in a sync report, a missing one in a multiget) or properties.
struct DavResponse {
    QUrl href;      // canonical (DavHref.h)
    int status = 0; // the response's own status; 0 when only its properties carry one
    DavProperties properties;
};

struct Multistatus {
    QList<DavResponse> responses;
    QString syncToken; // the report's new token, if it gave one
};

// The most responses one reply may hold: a hundred thousand cards is more
// than any address book this program serves.
inline constexpr qsizetype maxMultistatusResponses = 100000;

// Reads a 207 Multi-Status body, streaming, whatever prefixes it binds the
// namespaces to. Hrefs are resolved against `requestUrl`. A body that is
// not well-formed XML, declares a DTD, is not a multistatus or holds more
// than `maxResponses` responses gives a failure with the reason.
DavStatus parseMultistatus(const QByteArray& body, const QUrl& requestUrl, Multistatus& result,
                           qsizetype maxResponses = maxMultistatusResponses);

// Whether `body` is a DAV:error naming the precondition `name` in the DAV:
// namespace (such as valid-sync-token).
bool namesDavPrecondition(const QByteArray& body, const QString& name);

} // namespace kestrix
