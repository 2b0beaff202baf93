// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

// Cards in and out for a caller that holds the whole content; ContactReader
// reads a card at a time. Pure conversions between bytes and cards; reading
// and writing files is the caller's.

#include "ContactReader.h"
#include "card/CardRecord.h"
#include "contacts/ExchangeFormat.h"
#include "contacts/ImportReport.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace kestrix {

// Reads vCards or CSV, whichever the content is (detectContent). For content
// that is not contacts, `recognised` is false and `reason` says why. The
// whole of `bytes` at once; ContactReader reads a card at a time.
ImportResult readCards(QByteArrayView bytes);

// Writes cards one at a time, so a caller can pass each stretch of output on
// (to a file, say) before it holds every card twice:
//     CardWriter writer(format);
//     writer.begin(out);
//     for (const CardRecord& card : cards) { writer.append(card, out); ...flush out now and then... }
class CardWriter {
public:
    explicit CardWriter(ExchangeFormat format) : format_(format) {}

    // What goes before the first card: CSV's header row; nothing for vCard.
    void begin(QByteArray& out) const;

    void append(const CardRecord& card, QByteArray& out) const;

private:
    ExchangeFormat format_;
};

// All of `cards` in `format`, for callers with few cards.
QByteArray writeCards(const std::vector<CardRecord>& cards, ExchangeFormat format);

} // namespace kestrix
