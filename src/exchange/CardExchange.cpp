// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardExchange.h"

#include "CsvReader.h"
#include "CsvWriter.h"
#include "VCardReader.h"
#include "VCardWriter.h"

namespace kestrix {

ImportResult readCards(QByteArrayView bytes)
{
    const ContentDetection detection = detectContent(bytes);
    switch (detection.kind) {
    case ContentKind::VCard21:
    case ContentKind::VCard3:
    case ContentKind::VCard4:
        return readVCards(bytes);
    case ContentKind::Csv:
        return readCsv(bytes);
    case ContentKind::NotContacts:
        break;
    }
    ImportResult result;
    result.reason = detection.reason;
    return result;
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
