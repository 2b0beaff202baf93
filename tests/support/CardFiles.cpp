// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/CardFiles.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "history/ChangeRecord.h"
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
    std::vector<ScannedCard> cards;
    const FileStatus scanned = module.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        ScannedCard read;
        for (Field field : kAllFields) read.fields << card.text(field);
        read.itemCount = card.itemCount();
        read.recordNumberAfter = number;
        cards.push_back(read);
        return Module1::ScanStep::Next;
    });
    EXPECT_TRUE(scanned.ok()) << scanned.describe().toStdString();
    return cards;
}

qsizetype landedChanges(const QByteArray& history, quint64 device, quint64 inode, qint64 size)
{
    return static_cast<qsizetype>(
        kestrix::landedChanges(decodeRecords(history), CardFileVersion{device, inode, size}).size());
}

} // namespace kestrix::testing
