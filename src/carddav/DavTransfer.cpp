// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/DavTransfer.h"

#include "carddav/CredentialRules.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSslError>
#include <QStringList>
#include <QTimer>

namespace kestrix {

namespace {

QString shownAddress(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

QString secondsText(std::chrono::milliseconds timeout)
{
    return QString::number(double(timeout.count()) / 1000.0);
}

QNetworkRequest networkRequest(const DavRequest& request, const QByteArray& authorization)
{
    QNetworkRequest result(request.url);
    result.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    result.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    result.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Some servers answer a request without one with an HTML page.
    result.setRawHeader("Accept", "*/*");
    for (const auto& [name, value] : request.headers) result.setRawHeader(name, value);
    if (!authorization.isEmpty()) result.setRawHeader("Authorization", authorization);
    return result;
}

// Why no HTTP answer came, for the user.
DavStatus networkFailure(QNetworkReply::NetworkError error, const QUrl& url, const QStringList& sslErrors,
                         const QString& qtText)
{
    const QString host = url.host();
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return DavStatus::failure(
            DavProblem::Unreachable, 0,
            QStringLiteral("Nothing answers at %1; is the server running?").arg(shownAddress(url)));
    case QNetworkReply::HostNotFoundError:
        return DavStatus::failure(DavProblem::Unreachable, 0,
                                  QStringLiteral("No computer named %1 was found.").arg(host));
    case QNetworkReply::RemoteHostClosedError:
        return DavStatus::failure(
            DavProblem::Unreachable, 0,
            QStringLiteral("The server at %1 closed the connection without answering.").arg(host));
    case QNetworkReply::SslHandshakeFailedError:
        return DavStatus::failure(DavProblem::Certificate, 0,
                                  QStringLiteral("The secure connection to %1 failed: %2.")
                                      .arg(host, sslErrors.isEmpty() ? qtText : sslErrors.join(QStringLiteral("; "))));
    default:
        return DavStatus::failure(DavProblem::Unreachable, 0,
                                  QStringLiteral("The server at %1 could not be reached: %2.").arg(host, qtText));
    }
}

// What one transfer saw besides the reply itself.
struct TransferWatch {
    QByteArray body;
    QStringList sslErrors;
    bool timedOut = false;
    bool tooLarge = false;
};

void watchTransfer(QNetworkReply* reply, QEventLoop& loop, QTimer& silence, TransferWatch& watch,
                   const DavClientSettings& settings)
{
    auto tooLarge = [reply, &watch, &settings](qint64 bytes) {
        if (bytes <= settings.maxReplyBytes) return false;
        watch.tooLarge = true;
        reply->abort();
        return true;
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply,
                     [reply, tooLarge] { tooLarge(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong()); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, tooLarge, &watch, &silence] {
        silence.start();
        if (!tooLarge(watch.body.size() + reply->bytesAvailable())) watch.body += reply->readAll();
    });
    QObject::connect(reply, &QNetworkReply::uploadProgress, &silence, [&silence] { silence.start(); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [&watch](const QList<QSslError>& errors) {
        for (const QSslError& error : errors) watch.sslErrors.append(error.errorString());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&silence, &QTimer::timeout, reply, [reply, &watch] {
        watch.timedOut = true;
        reply->abort();
    });
}

DavReply answerOf(QNetworkReply* reply, TransferWatch& watch, const DavRequest& request)
{
    DavReply result;
    result.url = request.url;
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid()) {
        result.status = networkFailure(reply->error(), request.url, watch.sslErrors, reply->errorString());
        return result;
    }
    result.status = DavStatus::success(code.toInt());
    result.statusText = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    result.headers = reply->rawHeaderPairs();
    watch.body += reply->readAll();
    result.body = std::move(watch.body);
    return result;
}

} // namespace

DavReply transferOnce(QNetworkAccessManager& network, const DavRequest& request, const QByteArray& authorization,
                      const DavClientSettings& settings)
{
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(settings.timeout);
    TransferWatch watch;
    QNetworkRequest networkRequestOut = networkRequest(request, authorization);
    // Whatever proxy the application set, a request to this computer stays on it.
    network.setProxy(isLoopbackHost(request.url.host()) ? QNetworkProxy(QNetworkProxy::NoProxy)
                                                        : QNetworkProxy(QNetworkProxy::DefaultProxy));
    QNetworkReply* reply = network.sendCustomRequest(networkRequestOut, request.method, request.body);
    watchTransfer(reply, loop, silence, watch, settings);
    silence.start();
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    silence.stop();

    DavReply result;
    if (watch.timedOut) {
        result.url = request.url;
        result.status = DavStatus::failure(
            DavProblem::TimedOut, 0,
            QStringLiteral("The server did not answer within %1 s.").arg(secondsText(settings.timeout)));
    } else if (watch.tooLarge) {
        result.url = request.url;
        result.status = DavStatus::failure(DavProblem::TooLarge, 0,
                                           QStringLiteral("The server's reply from %1 is larger than %2 MiB.")
                                               .arg(shownAddress(request.url))
                                               .arg(double(settings.maxReplyBytes) / (1024.0 * 1024.0)));
    } else {
        result = answerOf(reply, watch, request);
    }
    // The reply's handlers hold this frame's locals.
    reply->disconnect();
    delete reply;
    return result;
}

} // namespace kestrix
