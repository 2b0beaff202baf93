// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/ResourceWriting.h"

#include "carddav/DavRequests.h"

namespace kestrix {

namespace {

bool succeeded(int status)
{
    return status == 200 || status == 201 || status == 204;
}

DavStatus writeFailure(const DavReply& reply, const QUrl& href, bool creating)
{
    if (reply.httpStatus() == 412 && creating) {
        return DavStatus::failure(DavProblem::PreconditionFailed, 412,
                                  QStringLiteral("Something already exists at %1.").arg(shownUrl(href)));
    }
    return statusFailure(reply.httpStatus(), reply.statusText, shownUrl(href));
}

} // namespace

WriteResult putVCard(DavClient& client, const QUrl& href, const QByteArray& vcard, const QString& etag)
{
    const bool creating = etag.isEmpty();
    DavHeaders headers{{"Content-Type", "text/vcard; charset=utf-8"}};
    if (creating)
        headers.append(std::pair<QByteArray, QByteArray>("If-None-Match", "*"));
    else
        headers.append(std::pair<QByteArray, QByteArray>("If-Match", etag.toLatin1()));
    const DavReply reply = client.send(DavRequest{"PUT", href, headers, vcard});
    WriteResult result;
    result.status = reply.status;
    if (!reply.status.ok()) return result;
    if (!succeeded(reply.httpStatus())) {
        result.status = writeFailure(reply, href, creating);
        return result;
    }
    const QString sent = QString::fromLatin1(reply.header("ETag")).trimmed();
    if (!sent.startsWith(QLatin1String("W/"))) result.etag = sent;
    return result;
}

DavStatus deleteResource(DavClient& client, const QUrl& href, const QString& etag)
{
    Q_ASSERT(!etag.isEmpty());
    const DavReply reply = client.send(DavRequest{"DELETE", href, {{"If-Match", etag.toLatin1()}}, {}});
    if (!reply.status.ok()) return reply.status;
    if (!succeeded(reply.httpStatus())) return writeFailure(reply, href, false);
    return reply.status;
}

} // namespace kestrix
