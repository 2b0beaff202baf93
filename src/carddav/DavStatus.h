// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

namespace kestrix {

// What went wrong with one exchange with a CardDAV server. The kinds a
// caller acts on differently are told apart; the rest are Failed, with a
// reason for the user.
enum class DavProblem {
    None,
    Unreachable,        // no connection: refused, unknown host, network down
    TimedOut,           // connected or not, nothing came within the time allowed
    Certificate,        // the TLS certificate was not accepted
    AuthRefused,        // 401: the user name or password
    PasswordWithheld,   // the password would have crossed the network in clear
    Redirects,          // too many redirects, or one we would not follow
    NotFound,           // 404 or 410
    PreconditionFailed, // 412: someone else changed or created the resource
    InvalidSyncToken,   // the server no longer knows the token: start over with none
    BadReply,           // the reply was not what the protocol says
    TooLarge,           // the reply passed the size or count we read
    Failed,             // any other status or failure
};

// The outcome of one operation: the HTTP status of the last answer (0 if
// none came) and, on failure, a reason a user can read. The password never
// appears in a reason.
struct [[nodiscard]] DavStatus {
    DavProblem problem = DavProblem::None;
    int httpStatus = 0;
    QString reason;

    bool ok() const { return problem == DavProblem::None; }

    static DavStatus success(int httpStatus) { return {DavProblem::None, httpStatus, {}}; }
    static DavStatus failure(DavProblem problem, int httpStatus, QString reason)
    {
        return {problem, httpStatus, std::move(reason)};
    }
};

// Whether every other request to the same server would meet the failure
// again: no connection, no trust in its certificate, or a password refused
// or withheld. Asking the server something else is no way round these.
bool failsEveryRequest(const DavStatus& status);

// The status an answer with an unexpected HTTP status stands for, its
// reason naming the address: "The server answered 500 Internal Server Error
// for https://dav.example.com/cards/."
DavStatus statusFailure(int httpStatus, const QByteArray& statusText, const QString& address);

} // namespace kestrix
