// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <utility>

namespace kestrix::testing {

// One request as the server received it.
struct ReceivedRequest {
    QByteArray method;
    QByteArray path;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// What the server answers; `silent` answers nothing at all.
struct ScriptedAnswer {
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool silent = false;
};

// An HTTP server on 127.0.0.1 that answers each request as `answer` says.
// It runs in the test's thread: the client's own event loop serves it while
// the client waits.
class FakeDavServer {
public:
    FakeDavServer();

    QUrl url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const;

    std::function<ScriptedAnswer(const ReceivedRequest&)> answer;
    QList<ReceivedRequest> received;

private:
    void serve(QTcpSocket* socket);

    QTcpServer server_;
};

// The password a request carried as Basic auth, or empty.
QByteArray basicPassword(const ReceivedRequest& request);

} // namespace kestrix::testing
