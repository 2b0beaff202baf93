// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "StoredCard.h"

#include "card/QuoteFinder.h"
#include "card/TextEncoding.h"

#include <cstring>

namespace kestrix {

bool StoredCard::readFrom(ItemReader& reader)
{
    if (readWholeLine(reader)) return true;

    // Anything else (hand-edited lines, a line across a buffer refill) goes
    // item by item.
    bytes_.resize(0);
    storedForm_ = false;
    count_ = 0;
    while (count_ < kFieldCount) {
        const qsizetype begin = bytes_.size();
        if (!reader.readItem(bytes_)) break;
        begins_[count_] = begin;
        ends_[count_++] = bytes_.size();
    }
    for (int i = count_; i < kFieldCount; ++i) begins_[i] = ends_[i] = bytes_.size();
    end_ = reader.lastItemEnd();
    return count_ > 0;
}

// The common case, a card line in the stored form lying whole in the
// reader's buffer, parsed in one go.
bool StoredCard::readWholeLine(ItemReader& reader)
{
    const QByteArrayView window = reader.window();
    const char* const start = window.data();
    const char* const end = start + window.size();
    const char* at = start;
    QuoteFinder quotes(start, end);
    std::array<qsizetype, kFieldCount> begins, ends;
    for (int i = 0; i < kFieldCount; ++i) {
        // The item's opening quote stands where the last one ended, and the
        // next quote closes it.
        if (at == end || quotes.next() != at) return false;
        const char* quote = quotes.next();
        if (!quote) return false;
        begins[i] = at + 1 - start;
        ends[i] = quote - start;
        at = quote + 1;
        if (i + 1 < kFieldCount) {
            if (at == end || *at != ',') return false;
            ++at;
        }
    }
    if (end - at < 2 || at[0] != '\r' || at[1] != '\n') return false;
    at += 2;

    const qsizetype length = at - start;
    // Read where it lies in the reader's buffer: a copy of every card line
    // would cost a scan as much as reading the file.
    line_ = QByteArrayView(start, length);
    begins_ = begins;
    ends_ = ends;
    count_ = kFieldCount;
    end_ = ItemReader::ItemEnd::Separator;
    storedForm_ = true;
    reader.consume(length);
    return true;
}

QByteArrayView StoredCard::raw(Field field) const
{
    const int i = indexOf(field);
    const char* const data = storedForm_ ? line_.data() : bytes_.constData();
    return QByteArrayView(data + begins_[i], ends_[i] - begins_[i]);
}

QByteArrayView StoredCard::itemsBeforeNumber() const
{
    if (!storedForm_) return {};
    const int number = indexOf(Field::RecordNumber);
    return line_.first(begins_[number] - 1);
}

QString StoredCard::text(Field field) const
{
    return decodeItem(raw(field));
}

bool StoredCard::fieldEquals(Field field, QStringView text) const
{
    return itemEquals(raw(field), text);
}

QByteArray StoredCard::completion() const
{
    using ItemEnd = ItemReader::ItemEnd;
    if (count_ == kFieldCount && end_ == ItemEnd::Separator) return {};
    QByteArray bytes;
    int missing = kFieldCount - count_;
    if (end_ == ItemEnd::OpenQuote) bytes += '"';
    // After a comma or a line end the next item starts at once; anywhere else
    // a comma must end the item that stands there first.
    if (end_ == ItemEnd::Separator && missing > 0) {
        bytes += "\"\"";
        --missing;
    }
    for (; missing > 0; --missing) bytes += ",\"\"";
    bytes += "\r\n";
    return bytes;
}

CardRecord StoredCard::record(const QString& number) const
{
    CardRecord card;
    for (Field field : kAllFields) card[indexOf(field)] = field == Field::RecordNumber ? number : text(field);
    return card;
}

void StoredCard::appendLineTo(QByteArray& out) const
{
    if (storedForm_) {
        out.append(line_);
        return;
    }
    for (Field field : kAllFields) {
        if (field != kAllFields.front()) out.append(',');
        const QByteArrayView item = raw(field);
        // Only an unquoted item of a hand-edited file can hold a double quote;
        // it stays unquoted, as it was, so the quote cannot end it early.
        const bool quoted = !item.contains('"');
        if (quoted) out.append('"');
        out.append(item);
        if (quoted) out.append('"');
    }
    out.append("\r\n");
}

} // namespace kestrix
