// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kestrix::testing {

inline constexpr qsizetype kMiB = 1024 * 1024;

// One vCard of `version` around `body`, whose lines end in CR LF.
inline QByteArray vcard(const char* version, const QByteArray& body)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:") + version + "\r\n" + body + "END:VCARD\r\n";
}

} // namespace kestrix::testing
