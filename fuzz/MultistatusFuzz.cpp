// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Feeds arbitrary bytes to the reader of a server's multistatus reply: it
// must never crash or hang, must keep to its cap on responses, and whatever
// it accepts must hold only absolute hrefs that another resolution leaves
// as they are.
#include "carddav/DavHref.h"
#include "carddav/Multistatus.h"

#include <cstdint>
#include <cstdlib>

using namespace kestrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QUrl request(QStringLiteral("https://dav.example.com/user/cards/"));
    constexpr qsizetype cap = 16;
    Multistatus result;
    const DavStatus status = parseMultistatus(body, request, result, cap);
    (void)namesDavPrecondition(body, QStringLiteral("valid-sync-token"));
    if (!status.ok()) {
        if (status.reason.isEmpty() || !result.responses.isEmpty()) std::abort();
        return 0;
    }
    if (result.responses.size() > cap) std::abort();
    for (const DavResponse& response : std::as_const(result.responses)) {
        if (!response.href.isValid() || response.href.isRelative()) std::abort();
        if (canonicalUrl(response.href) != response.href) std::abort();
        if (response.status < 0 || response.status > 599) std::abort();
    }
    return 0;
}
