// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Terminal.h"

#include "files/FileStatus.h"

namespace kestrix {

void say(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

void complain(std::FILE* err, const QString& text)
{
    say(err, QStringLiteral("kestrix: ") + text);
}

QString why(const FileStatus& status)
{
    return QStringLiteral("%1: %2").arg(status.file(), status.reason());
}

} // namespace kestrix
