// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary bytes to the vCard reader: it must never crash, and what
// it imports must pass through an export and back unchanged. One input in
// kAmplifyOneIn is also read grown large, where a quadratic path shows.
#include "ExchangeFuzz.h"
#include "formats/VCardReader.h"

#include <cstdint>

using namespace kestrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)detectContent(bytes);
    const ExchangeFormat format = size > 0 && data[size - 1] % 2 ? ExchangeFormat::VCard3 : ExchangeFormat::VCard4;
    checkImport(readStreamed(bytes, ExchangeFormat::VCard4), format, readVCards);
    readAmplified(bytes, readVCards);
    return 0;
}
