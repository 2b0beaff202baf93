// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/DavHref.h"

#include <QByteArray>
#include <QStringList>

namespace kestrix {

namespace {

// RFC 3986 lets these stand unencoded in a path segment.
const QByteArray segmentSafe = QByteArrayLiteral("!$&'()*+,;=:@-._~");

QString canonicalPath(const QString& path)
{
    const QList<QByteArray> segments = path.toUtf8().split('/');
    QByteArray result;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i > 0) result += '/';
        result += QByteArray::fromPercentEncoding(segments[i]).toPercentEncoding(segmentSafe);
    }
    return QString::fromLatin1(result);
}

} // namespace

QUrl canonicalUrl(const QUrl& url)
{
    if (!url.isValid() || url.isRelative()) return {};
    QUrl result;
    result.setScheme(url.scheme().toLower());
    result.setHost(url.host().toLower());
    const int defaultPort = result.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.port() != -1 && url.port() != defaultPort) result.setPort(url.port());
    QString path = canonicalPath(url.path(QUrl::FullyEncoded));
    if (path.isEmpty()) path = QStringLiteral("/");
    result.setPath(path, QUrl::StrictMode);
    if (url.hasQuery()) result.setQuery(url.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return result;
}

QUrl resolveHref(const QUrl& requestUrl, const QString& href)
{
    const QString trimmed = href.trimmed();
    if (trimmed.isEmpty()) return {};
    const QUrl relative(trimmed, QUrl::TolerantMode);
    if (!relative.isValid()) return {};
    return canonicalUrl(requestUrl.resolved(relative));
}

QString hrefKey(const QUrl& url)
{
    return canonicalUrl(url).toString(QUrl::FullyEncoded);
}

bool sameCollection(const QUrl& a, const QUrl& b)
{
    QString left = hrefKey(a);
    QString right = hrefKey(b);
    if (!left.endsWith(QLatin1Char('/'))) left += QLatin1Char('/');
    if (!right.endsWith(QLatin1Char('/'))) right += QLatin1Char('/');
    return left == right;
}

} // namespace kestrix
