// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/ResourceFetching.h"

#include "carddav/DavHref.h"
#include "carddav/DavNames.h"
#include "carddav/DavRequests.h"

#include <QSet>
#include <QXmlStreamWriter>

namespace kestrix {

namespace {

QByteArray multigetBody(const QList<QUrl>& hrefs)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(davnames::dav, QStringLiteral("d"));
    xml.writeNamespace(davnames::carddav, QStringLiteral("card"));
    xml.writeStartElement(davnames::carddav, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(davnames::dav, QStringLiteral("prop"));
    xml.writeEmptyElement(davnames::dav, QStringLiteral("getetag"));
    xml.writeEmptyElement(davnames::carddav, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QUrl& href : hrefs) xml.writeTextElement(davnames::dav, QStringLiteral("href"), requestPath(href));
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

// A weak tag cannot guard a write (RFC 7232 compares If-Match strongly).
QString strongEtag(const QByteArray& header)
{
    const QString etag = QString::fromLatin1(header).trimmed();
    return etag.startsWith(QLatin1String("W/")) ? QString() : etag;
}

} // namespace

MultigetResult multiget(DavClient& client, const QUrl& addressBook, const QList<QUrl>& hrefs)
{
    MultigetResult result;
    if (hrefs.isEmpty()) {
        result.status = DavStatus::success(0);
        return result;
    }
    const DavRequest request{"REPORT",
                             addressBook,
                             {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}},
                             multigetBody(hrefs)};
    Multistatus reply;
    DavReply raw;
    result.status = runMultistatus(client, request, reply, raw);
    if (!result.status.ok()) return result;
    QSet<QString> given;
    for (const DavResponse& response : std::as_const(reply.responses)) {
        if (!response.properties.hasAddressData) continue;
        given.insert(hrefKey(response.href));
        result.found.append(FetchedResource{response.href, response.properties.etag, response.properties.addressData});
    }
    for (const QUrl& href : hrefs) {
        if (!given.contains(hrefKey(href))) result.missing.append(canonicalUrl(href));
    }
    return result;
}

FetchResult fetchResource(DavClient& client, const QUrl& href)
{
    FetchResult result;
    const DavReply reply = client.send(DavRequest{"GET", href, {{"Accept", "text/vcard"}}, {}});
    result.status = reply.status;
    if (!reply.status.ok()) return result;
    if (reply.httpStatus() != 200) {
        result.status = statusFailure(reply.httpStatus(), reply.statusText, shownUrl(href));
        return result;
    }
    result.resource = FetchedResource{canonicalUrl(href), strongEtag(reply.header("ETag")), reply.body};
    return result;
}

} // namespace kestrix
