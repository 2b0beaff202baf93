// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QUrl>

namespace kestrix {

// Servers spell the same resource several ways: a path or a whole URL,
// "%40" or "@", "%2f" or "%2F". Every href this layer hands out is an
// absolute URL in one canonical spelling, so two hrefs of one resource
// compare equal with ==, and hrefKey() gives a text to key a map with.

// `href` from a reply to a request for `requestUrl`, resolved and made
// canonical. An empty or unparsable href gives an invalid URL.
QUrl resolveHref(const QUrl& requestUrl, const QString& href);

// `url` in the canonical spelling: scheme and host in lower case, the
// default port dropped, each path segment percent-encoded one way (an
// encoded "/" inside a segment stays encoded), no fragment, no user info.
QUrl canonicalUrl(const QUrl& url);

// The canonical URL as text.
QString hrefKey(const QUrl& url);

// Whether `a` and `b` are the same collection, with or without the
// trailing slash.
bool sameCollection(const QUrl& a, const QUrl& b);

} // namespace kestrix
