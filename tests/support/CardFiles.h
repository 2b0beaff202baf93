// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace kestrix::testing {

// A card with the given contact and number; the other fields are derived
// from them so each card is recognisable.
CardRecord makeCard(const QString& contact, const QString& number);

// A stored line written by hand: every item quoted, commas between, CR LF.
QByteArray quotedLine(const QStringList& items);

struct ScannedCard {
    QStringList fields; // the 14 decoded fields
    int itemCount = 0;
    QString recordNumberAfter; // RecordNumber once the card was read
};

// Scans `bytes` as a card file, the way every window does.
std::vector<ScannedCard> scanCards(const QByteArray& bytes);

// How many changes a history file's bytes hold that count as landed, where
// the card file standing now has `inode` and `size` on `device`.
qsizetype landedChanges(const QByteArray& history, quint64 device, quint64 inode, qint64 size);

} // namespace kestrix::testing
