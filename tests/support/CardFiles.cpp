// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/CardFiles.h"

#include "storage/Module1.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace kestrix::testing {

CardRecord makeCard(const QString& contact, const QString& number)
{
    CardRecord card;
    for (int i = 0; i < kFieldCount; ++i) card[i] = QStringLiteral("f%1 of %2").arg(i + 1).arg(contact);
    card[indexOf(Field::CCNAME)] = contact;
    card[indexOf(Field::RecordNumber)] = number;
    return card;
}

QByteArray quotedLine(const QStringList& items)
{
    QByteArray line;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) line.append(',');
        line.append('"').append(items[i].toUtf8()).append('"');
    }
    return line.append("\r\n");
}

std::vector<ScannedCard> scanCards(const QByteArray& bytes)
{
    TempFolder folder;
    folder.write(QStringLiteral("kest1.dat"), bytes);
    Module1 module(folder.path());
    EXPECT_TRUE(module.OpenCardFileForReading(false).ok());
    std::vector<ScannedCard> cards;
    StoredCard card;
    while (!module.AtEndOfCards()) {
        if (!module.ReadCard(card)) break;
        ScannedCard scanned;
        for (int i = 0; i < kFieldCount; ++i) scanned.fields << card.text(static_cast<Field>(i));
        scanned.itemCount = card.itemCount();
        scanned.recordNumberAfter = module.RecordNumber;
        cards.push_back(scanned);
    }
    EXPECT_TRUE(module.cardReadStatus().ok());
    return cards;
}

} // namespace kestrix::testing
