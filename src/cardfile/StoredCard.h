// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ItemReader.h"
#include "card/CardRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>

namespace kestrix {

// One card as it stands in the card file: the raw bytes of its items. Fields
// are decoded only when asked for, and a card that is only passed on (as in a
// rewrite) is written back byte for byte.
//
// Reuse one StoredCard across a scan: its storage is kept between cards. A
// card in the stored form is read where it lies in the reader's buffer, so
// its fields are there only until the reader reads on.
class StoredCard {
public:
    // Reads the next card's 14 items. A card cut short by the end of the file
    // keeps the items it has; the missing ones count as empty. False when no
    // item could be read at all.
    bool readFrom(ItemReader& reader);

    // How many of the 14 items the file held for this card.
    int itemCount() const { return count_; }
    // Whether the card stood in the file in the stored form exactly (every
    // item quoted, commas between, CR LF at the end): its line in the file is
    // the line appendLineTo writes.
    bool isStoredForm() const { return storedForm_; }

    QByteArrayView raw(Field field) const;
    QString text(Field field) const;
    // For a card in the stored form, its line from the opening quote of the
    // first item to the comma before the record number: fields 1 to 13 as
    // CardKeySet::TextKey frames them, no item holding a quote. Empty for
    // any other card.
    QByteArrayView itemsBeforeNumber() const;
    // The card as the user sees it: fields 1 to 13 decoded, and `number`, the
    // record number a scan hands over with the card, as field 14.
    CardRecord record(const QString& number) const;

    // Whether field's text is `text`. Cheaper than comparing text(field),
    // which decodes the item.
    bool fieldEquals(Field field, QStringView text) const;

    // Appends this card as one stored line, each item as it was read.
    void appendLineTo(QByteArray& out) const;

    // What must follow this card, the last of a file, so that a card written
    // after it is read as a card of its own: a file cut short (a power cut, a
    // copy or a sync broken off) can end inside a quote or before the 14th
    // item, and the reader would carry on into the new card. Closes the quote,
    // adds empty items up to 14 and ends the line; the card reads as before.
    // Empty when the card is whole and its line has ended.
    QByteArray completion() const;

private:
    bool readWholeLine(ItemReader& reader);

    // The line as read when it had the stored form exactly (every item
    // quoted, commas between, CR LF at the end), where it lies in the
    // reader's buffer; otherwise the items one after another, copied. Item i
    // lies between begins_[i] and ends_[i] of the one or the other.
    QByteArrayView line_;
    QByteArray bytes_;
    std::array<qsizetype, kFieldCount> begins_{};
    std::array<qsizetype, kFieldCount> ends_{};
    int count_ = 0;
    ItemReader::ItemEnd end_ = ItemReader::ItemEnd::Separator;
    bool storedForm_ = false;
};

} // namespace kestrix
