// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QUrl>

namespace kestrix {

// Whether `host` names this computer: 127.0.0.0/8, ::1 or localhost.
bool isLoopbackHost(const QString& host);

// Whether a password may be sent to `url` at all: Basic auth is the password
// in clear, so only inside TLS or without leaving this computer.
bool mayCarryPassword(const QUrl& url);

// Whether a request that started at `origin` and was redirected to `target`
// may carry the password there: the same host, and a safe way to it.
bool mayForwardPassword(const QUrl& origin, const QUrl& target);

// Why no password goes to `url`, for the user.
QString passwordWithheldReason(const QUrl& url);

} // namespace kestrix
