// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "exchange/CardExchange.h"

#include <cstdlib>

namespace kestrix {

// What every import must give, whatever its input: cards without a record
// number or a double quote (the card file cannot hold one), a report that
// names a position in the file, and cards that Kestrix's own export of them
// gives back exactly, with nothing to report.
inline void checkImport(const ImportResult& result, ExchangeFormat exportFormat,
                        ImportResult (*read)(QByteArrayView bytes))
{
    if (!result.recognised) {
        if (result.reason.isEmpty() || !result.cards.empty()) std::abort();
        return;
    }
    for (const CardRecord& card : result.cards) {
        if (!card[indexOf(Field::RecordNumber)].isEmpty()) std::abort();
        for (const QString& field : card)
            if (field.contains(QLatin1Char('"'))) std::abort();
    }
    for (const ImportIssue& issue : result.issues)
        if (issue.card < 1 || issue.reason.isEmpty()) std::abort();

    if (result.cards.empty()) return; // an export of no cards is no file of contacts
    const ImportResult again = read(writeCards(result.cards, exportFormat));
    if (!again.recognised || !again.issues.empty() || again.cards != result.cards) std::abort();
}

} // namespace kestrix
