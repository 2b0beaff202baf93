// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "carddav/DavStatus.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <utility>

class QNetworkAccessManager;

namespace kestrix {

struct DavClientSettings {
    QString user;
    QString password;                         // sent only where mayCarryPassword() allows (CredentialRules.h)
    std::chrono::milliseconds timeout{30000}; // of silence, per request
    // A multiget of a few thousand cards with photos stays well under this.
    qint64 maxReplyBytes = qint64(64) * 1024 * 1024;
    int maxRedirects = 5;
};

using DavHeaders = QList<std::pair<QByteArray, QByteArray>>;

struct DavRequest {
    QByteArray method;
    QUrl url;
    DavHeaders headers; // Depth, If-Match, Content-Type, ...
    QByteArray body;
};

struct DavReply {
    // ok() when the server answered, whatever the HTTP status; status.httpStatus
    // holds it. Otherwise why no answer came.
    DavStatus status;
    QByteArray statusText;
    QUrl url; // the address that answered, after any redirects
    DavHeaders headers;
    QByteArray body;

    int httpStatus() const { return status.httpStatus; }
    QByteArray header(const QByteArray& name) const;
};

// A blocking HTTP client for one account. Each send() runs a local event
// loop until the answer is in, so it serves a command-line run as well as
// a worker thread; an object is used from the thread that made it.
// Credentials go pre-emptively as Basic auth, and only over HTTPS or to this
// computer, also after a redirect and never to another host. TLS checks are
// Qt's, against the system's certificates, and cannot be switched off.
class DavClient {
public:
    explicit DavClient(DavClientSettings settings);
    ~DavClient();
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    DavReply send(const DavRequest& request);
    const DavClientSettings& settings() const { return settings_; }

private:
    DavClientSettings settings_;
    std::unique_ptr<QNetworkAccessManager> network_;
};

} // namespace kestrix
