// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardExchange.h"

#include "csv/CsvWriter.h"
#include "vcard/VCardWriter.h"

namespace kestrix {

ImportResult readCards(QByteArrayView bytes)
{
    return readWhole(bytes, std::nullopt);
}

void CardWriter::begin(QByteArray& out) const
{
    if (format_ == ExchangeFormat::Csv) appendCsvHeader(out);
}

void CardWriter::append(const CardRecord& card, QByteArray& out) const
{
    if (format_ == ExchangeFormat::Csv)
        appendCsvRow(out, card);
    else
        appendVCard(out, card, format_);
}

QByteArray writeCards(const std::vector<CardRecord>& cards, ExchangeFormat format)
{
    QByteArray out;
    const CardWriter writer(format);
    writer.begin(out);
    for (const CardRecord& card : cards) writer.append(card, out);
    return out;
}

} // namespace kestrix
