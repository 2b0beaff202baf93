// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/CollectionListing.h"

#include "carddav/DavHref.h"
#include "carddav/DavNames.h"
#include "carddav/DavRequests.h"

#include <QXmlStreamWriter>

namespace kestrix {

namespace {

QByteArray syncCollectionBody(const QString& syncToken)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(davnames::dav, QStringLiteral("d"));
    xml.writeStartElement(davnames::dav, QStringLiteral("sync-collection"));
    xml.writeTextElement(davnames::dav, QStringLiteral("sync-token"), syncToken);
    xml.writeTextElement(davnames::dav, QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(davnames::dav, QStringLiteral("prop"));
    xml.writeEmptyElement(davnames::dav, QStringLiteral("getetag"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

bool rejectsToken(const DavReply& reply)
{
    const int status = reply.httpStatus();
    return (status == 403 || status == 409) && namesDavPrecondition(reply.body, QStringLiteral("valid-sync-token"));
}

} // namespace

SyncCollectionResult syncCollection(DavClient& client, const QUrl& addressBook, const QString& syncToken)
{
    const DavRequest request{"REPORT",
                             addressBook,
                             {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}},
                             syncCollectionBody(syncToken)};
    SyncCollectionResult result;
    Multistatus reply;
    DavReply raw;
    result.status = runMultistatus(client, request, reply, raw);
    if (!result.status.ok()) {
        if (rejectsToken(raw)) {
            result.status = DavStatus::failure(
                DavProblem::InvalidSyncToken, raw.httpStatus(),
                QStringLiteral("The server no longer knows the last state of %1; everything is compared anew.")
                    .arg(shownUrl(addressBook)));
        }
        return result;
    }
    for (const DavResponse& response : std::as_const(reply.responses)) {
        if (sameCollection(response.href, raw.url) || sameCollection(response.href, addressBook)) {
            // 507 on the collection itself: the server cut the list short.
            result.truncated = result.truncated || response.status == 507;
        } else if (response.status == 404) {
            result.removed.append(response.href);
        } else if (response.status == 0 || (response.status >= 200 && response.status <= 299)) {
            result.changed.append(DavMember{response.href, response.properties.etag});
        }
    }
    result.syncToken = reply.syncToken;
    return result;
}

MemberListing listMembers(DavClient& client, const QUrl& addressBook)
{
    MemberListing result;
    Multistatus reply;
    result.status =
        propfind(client, addressBook, 1,
                 {{davnames::dav, QLatin1String("getetag")}, {davnames::dav, QLatin1String("resourcetype")}}, reply);
    if (!result.status.ok()) return result;
    for (const DavResponse& response : std::as_const(reply.responses)) {
        // The collection itself, and any collection inside it, are not cards.
        if (response.properties.isCollection || sameCollection(response.href, addressBook)) continue;
        result.members.append(DavMember{response.href, response.properties.etag});
    }
    return result;
}

} // namespace kestrix
