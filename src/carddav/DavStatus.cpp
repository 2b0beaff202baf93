// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/DavStatus.h"

namespace kestrix {

DavStatus statusFailure(int httpStatus, const QByteArray& statusText, const QString& address)
{
    switch (httpStatus) {
    case 401:
        return DavStatus::failure(DavProblem::AuthRefused, httpStatus,
                                  QStringLiteral("The server refused the user name or password."));
    case 403:
        return DavStatus::failure(DavProblem::Failed, httpStatus,
                                  QStringLiteral("The server does not let this user reach %1.").arg(address));
    case 404:
    case 410:
        return DavStatus::failure(DavProblem::NotFound, httpStatus,
                                  QStringLiteral("The server has nothing at %1.").arg(address));
    case 412:
        return DavStatus::failure(DavProblem::PreconditionFailed, httpStatus,
                                  QStringLiteral("Someone else changed %1 in the meantime.").arg(address));
    default:
        break;
    }
    QString text = QString::fromLatin1(statusText).trimmed();
    if (!text.isEmpty()) text.prepend(QLatin1Char(' '));
    return DavStatus::failure(DavProblem::Failed, httpStatus,
                              QStringLiteral("The server answered %1%2 for %3.").arg(httpStatus).arg(text, address));
}

bool failsEveryRequest(const DavStatus& status)
{
    switch (status.problem) {
    case DavProblem::Unreachable:
    case DavProblem::TimedOut:
    case DavProblem::Certificate:
    case DavProblem::AuthRefused:
    case DavProblem::PasswordWithheld:
        return true;
    default:
        return false;
    }
}

} // namespace kestrix
