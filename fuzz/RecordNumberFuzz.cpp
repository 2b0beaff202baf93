// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary text to the number rule of Add: it must never crash, and a
// number it writes must read back as the value it stands for.
#include "card/RecordNumberRule.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace kestrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<double> value = numberFromText(text);
    const std::optional<QString> next = nextRecordNumber(text);
    if (!next) {
        // Refused only where one more cannot be told from the number itself.
        if (value && numberFromText(textFromNumber(*value + 1.0)).value_or(*value) > *value) std::abort();
        return 0;
    }
    if (!value) std::abort();
    if (next->isEmpty() || next->contains(QLatin1Char('"'))) std::abort();

    // Fifteen significant digits: the text stands for the sum within that.
    const std::optional<double> back = numberFromText(*next);
    const double sum = *value + 1.0;
    if (!back || !std::isfinite(*back)) std::abort();
    if (std::fabs(*back - sum) > 1e-14 * std::fabs(sum) + 1e-300) std::abort();
    return 0;
}
