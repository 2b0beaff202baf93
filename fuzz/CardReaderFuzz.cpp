// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary bytes to the card reader as a card file: every card must
// read without a crash, decode, and pass through a rewrite unchanged.
#include "storage/ItemReader.h"
#include "storage/StoredCard.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace kestrix;

namespace {

int fileHolding(const uint8_t* data, size_t size)
{
    const int fd = ::memfd_create("kest1.dat", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote <= 0) std::abort();
        done += static_cast<size_t>(wrote);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

// Reads every card of `fd`; returns them as the rewrite would store them.
// Small buffers put items across refills at every possible point.
QByteArray readAndPassOn(int fd, qsizetype bufferSize)
{
    ItemReader reader(fd, QStringLiteral("kest1.dat"), bufferSize);
    StoredCard card;
    QByteArray out;
    while (!reader.atEnd()) {
        if (!card.readFrom(reader)) break;
        if (card.itemCount() < 1 || card.itemCount() > kFieldCount) std::abort();
        for (int i = 0; i < kFieldCount; ++i) (void)card.text(static_cast<Field>(i));
        card.appendLineTo(out);
    }
    if (!reader.status().ok()) std::abort();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const qsizetype bufferSize = size > 0 ? 1 + data[0] % 64 : 1;
    const int fd = fileHolding(data, size);
    const QByteArray rewritten = readAndPassOn(fd, bufferSize);
    ::close(fd);

    // What a rewrite stores must read back as the very same cards.
    const int again = fileHolding(reinterpret_cast<const uint8_t*>(rewritten.constData()), rewritten.size());
    if (readAndPassOn(again, 4096) != rewritten) std::abort();
    ::close(again);
    return 0;
}
