// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/CredentialRules.h"

#include <QHostAddress>

namespace kestrix {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool mayCarryPassword(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) return true;
    return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 && isLoopbackHost(url.host());
}

bool mayForwardPassword(const QUrl& origin, const QUrl& target)
{
    return mayCarryPassword(target) && origin.host().compare(target.host(), Qt::CaseInsensitive) == 0;
}

QString passwordWithheldReason(const QUrl& url)
{
    return QStringLiteral("The password was not sent to %1: over plain HTTP it would cross the network "
                          "readable by anyone on the way. Use an https:// address.")
        .arg(url.toDisplayString(QUrl::RemoveUserInfo));
}

} // namespace kestrix
