// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/DavRequests.h"

#include "carddav/DavNames.h"

#include <QXmlStreamWriter>

namespace kestrix {

QByteArray propfindBody(const QList<DavPropertyName>& properties)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(davnames::dav, QStringLiteral("d"));
    xml.writeNamespace(davnames::carddav, QStringLiteral("card"));
    xml.writeNamespace(davnames::calendarServer, QStringLiteral("cs"));
    xml.writeStartElement(davnames::dav, QStringLiteral("propfind"));
    xml.writeStartElement(davnames::dav, QStringLiteral("prop"));
    for (const DavPropertyName& property : properties) xml.writeEmptyElement(property.ns, property.name);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

DavStatus runMultistatus(DavClient& client, const DavRequest& request, Multistatus& result, DavReply& reply)
{
    result = {};
    reply = client.send(request);
    if (!reply.status.ok()) return reply.status;
    if (reply.httpStatus() != 207) return statusFailure(reply.httpStatus(), reply.statusText, shownUrl(reply.url));
    return parseMultistatus(reply.body, reply.url, result);
}

DavStatus propfind(DavClient& client, const QUrl& url, int depth, const QList<DavPropertyName>& properties,
                   Multistatus& result)
{
    Q_ASSERT(depth == 0 || depth == 1);
    const DavRequest request{"PROPFIND",
                             url,
                             {{"Depth", QByteArray::number(depth)}, {"Content-Type", "application/xml; charset=utf-8"}},
                             propfindBody(properties)};
    DavReply reply;
    return runMultistatus(client, request, result, reply);
}

QString requestPath(const QUrl& url)
{
    QString path = url.path(QUrl::FullyEncoded);
    if (url.hasQuery()) path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return path;
}

QString shownUrl(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

} // namespace kestrix
