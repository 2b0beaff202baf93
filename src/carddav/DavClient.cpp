// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/DavClient.h"

#include "carddav/CredentialRules.h"
#include "carddav/DavTransfer.h"

#include <QNetworkAccessManager>

namespace kestrix {

namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QString shown(const QUrl& url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

DavReply failedReply(const QUrl& url, DavProblem problem, int status, const QString& reason)
{
    DavReply reply;
    reply.url = url;
    reply.status = DavStatus::failure(problem, status, reason);
    return reply;
}

} // namespace

QByteArray DavReply::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return {};
}

DavClient::DavClient(DavClientSettings settings)
    : settings_(std::move(settings)), network_(std::make_unique<QNetworkAccessManager>())
{
    // A redirect is followed here, where the password's rules are applied.
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

DavClient::~DavClient() = default;

DavReply DavClient::send(const DavRequest& request)
{
    const bool hasPassword = !settings_.user.isEmpty() || !settings_.password.isEmpty();
    if (hasPassword && !mayCarryPassword(request.url))
        return failedReply(request.url, DavProblem::PasswordWithheld, 0, passwordWithheldReason(request.url));
    const QByteArray authorization =
        "Basic " + (settings_.user.toUtf8() + ':' + settings_.password.toUtf8()).toBase64();

    DavRequest current = request;
    // Credentials travel in the settings, by the rules above, never in the address.
    current.url.setUserInfo({});
    bool withheld = false; // the password stayed behind on a redirect
    for (int hop = 0;; ++hop) {
        const bool withPassword = hasPassword && mayForwardPassword(request.url, current.url);
        withheld = withheld || (hasPassword && !withPassword);
        DavReply reply = transferOnce(*network_, current, withPassword ? authorization : QByteArray(), settings_);
        if (!reply.status.ok() || !isRedirect(reply.httpStatus())) {
            if (withheld && reply.httpStatus() == 401) {
                reply.status = DavStatus::failure(
                    DavProblem::AuthRefused, 401,
                    QStringLiteral("The server sent the request on to %1, which wants a password; the password "
                                   "goes only to %2, and only over HTTPS.")
                        .arg(shown(current.url), request.url.host()));
            }
            return reply;
        }
        const QUrl next = current.url.resolved(QUrl::fromEncoded(reply.header("Location")));
        if (hop >= settings_.maxRedirects)
            return failedReply(current.url, DavProblem::Redirects, reply.httpStatus(),
                               QStringLiteral("The server sent the request on more than %1 times, starting from %2.")
                                   .arg(settings_.maxRedirects)
                                   .arg(shown(request.url)));
        if (!next.isValid() || (next.scheme() != QLatin1String("https") && next.scheme() != QLatin1String("http")))
            return failedReply(current.url, DavProblem::Redirects, reply.httpStatus(),
                               QStringLiteral("The server at %1 sent the request on to an address that is not "
                                              "a web address.")
                                   .arg(shown(current.url)));
        if (reply.httpStatus() == 303) {
            current.method = "GET";
            current.body.clear();
        }
        current.url = next;
    }
}

} // namespace kestrix
