// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "FakeDavServer.h"

#include <QTcpSocket>

namespace kestrix::testing {

namespace {

// The request at the start of `buffer` once it is all there; taken out of it.
bool takeRequest(QByteArray& buffer, ReceivedRequest& request)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) return false;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> first = lines.front().trimmed().split(' ');
    request = {};
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headEnd + 4 + length) return false;
    request.body = buffer.mid(headEnd + 4, length);
    buffer.remove(0, headEnd + 4 + length);
    return true;
}

QByteArray reply(const ScriptedAnswer& answer)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(answer.status) + " Scripted\r\n";
    bool lengthGiven = false;
    for (const auto& [name, value] : answer.headers) {
        text += name + ": " + value + "\r\n";
        lengthGiven = lengthGiven || name.compare("Content-Length", Qt::CaseInsensitive) == 0;
    }
    if (!lengthGiven) text += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    return text + "Connection: close\r\n\r\n" + answer.body;
}

} // namespace

FakeDavServer::FakeDavServer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
}

QUrl FakeDavServer::url(const QString& path, const QString& host) const
{
    QUrl result;
    result.setScheme(QStringLiteral("http"));
    result.setHost(host);
    result.setPort(server_.serverPort());
    result.setPath(path, QUrl::TolerantMode);
    return result;
}

void FakeDavServer::serve(QTcpSocket* socket)
{
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        *buffer += socket->readAll();
        ReceivedRequest request;
        while (takeRequest(*buffer, request)) {
            received.append(request);
            const ScriptedAnswer answered = answer ? answer(request) : ScriptedAnswer{404, {}, {}, false};
            if (answered.silent) continue;
            socket->write(reply(answered));
            socket->disconnectFromHost();
        }
    });
}

QByteArray basicPassword(const ReceivedRequest& request)
{
    const QByteArray header = request.headers.value("authorization");
    if (!header.startsWith("Basic ")) return {};
    const QByteArray pair = QByteArray::fromBase64(header.mid(6));
    return pair.mid(pair.indexOf(':') + 1);
}

} // namespace kestrix::testing
