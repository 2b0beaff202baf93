// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary bytes to the card reader as a card file: every card must
// read without a crash, decode, and pass through a rewrite unchanged.
#include "cardfile/ItemReader.h"
#include "cardfile/StoredCard.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace kestrix;

namespace {

// One file serves every run: creating and dropping a file per input cost
// more than reading it.
int fileHolding(const char* data, size_t size)
{
    static const int fd = ::memfd_create("kest1.dat", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t wrote = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (wrote <= 0) std::abort();
        done += static_cast<size_t>(wrote);
    }
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) std::abort();
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
        for (Field field : kAllFields) (void)card.text(field);
        card.appendLineTo(out);
    }
    if (!reader.status().ok()) std::abort();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Each refill is a read from the file, and a read per byte of a long input
    // is most of a run's time. Past 64 refills the buffer grows with the
    // input; the refills still fall at every point, across runs.
    const qsizetype bufferSize =
        std::max<qsizetype>(size > 0 ? 1 + data[0] % 64 : 1, static_cast<qsizetype>(size / 64));
    const QByteArray rewritten = readAndPassOn(fileHolding(reinterpret_cast<const char*>(data), size), bufferSize);

    // What a rewrite stores must read back as the very same cards.
    if (readAndPassOn(fileHolding(rewritten.constData(), static_cast<size_t>(rewritten.size())), 4096) != rewritten)
        std::abort();
    return 0;
}
