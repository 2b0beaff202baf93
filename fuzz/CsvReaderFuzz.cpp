// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary bytes to the CSV reader: it must never crash, and what it
// imports must pass through an export and back unchanged. One input in
// kAmplifyOneIn is also read grown large, where a quadratic path shows.
#include "ExchangeFuzz.h"
#include "formats/CsvReader.h"

#include <cstdint>

using namespace kestrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)detectContent(bytes);
    checkImport(readStreamed(bytes, ExchangeFormat::Csv), ExchangeFormat::Csv, readCsv);
    readAmplified(bytes, readCsv);
    return 0;
}
