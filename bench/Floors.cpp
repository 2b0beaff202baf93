// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Floors.h"

#include <QFile>

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace kestrix::bench {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

} // namespace

std::int64_t countLineEnds(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    std::int64_t count = 0;
    ssize_t got;
    while ((got = ::read(fd, buffer.get(), kChunk)) > 0) {
        const char* at = buffer.get();
        const char* end = at + got;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', end - at)))) {
            ++count;
            ++at;
        }
    }
    ::close(fd);
    return count;
}

bool copyFile(const QString& from, const QString& to)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    ssize_t got;
    while (ok && (got = ::read(in, buffer.get(), kChunk)) > 0) ok = ::write(out, buffer.get(), got) == got;
    ok = ok && ::fsync(out) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

} // namespace kestrix::bench
