// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CompactEntries.h"

#include "storage/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

namespace {

bool beyondLatin1(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

} // namespace

char* CompactEntries::room(qsizetype bytes)
{
    if (units_.size() - used_ < bytes) {
        // Grows by a share of what is there, then takes all it was given, so
        // most entries need no call here; pages not yet written cost nothing.
        units_.resize(used_ + bytes);
        units_.resize(units_.capacity());
    }
    return units_.data() + used_;
}

void CompactEntries::append(const QString& recordNumber, QByteArrayView storedContact)
{
    const qsizetype numberSize = recordNumber.size();
    char* const to = room(numberSize + 2 + storedContact.size());
    char16_t allUnits = 0;
    const QChar* const number = recordNumber.constData();
    for (qsizetype i = 0; i < numberSize; ++i) {
        allUnits |= number[i].unicode();
        to[i] = static_cast<char>(number[i].unicode());
    }
    to[numberSize] = to[numberSize + 1] = ' ';
    // Most cards: the number is Latin-1 and the contact's bytes are its text,
    // or become it without a decoder.
    const qsizetype contactSize = allUnits <= 0xFF ? decodeAsLatin1(storedContact, to + numberSize + 2) : -1;
    if (contactSize >= 0) {
        starts_.append(used_);
        used_ += numberSize + 2 + contactSize;
        return;
    }
    decodeItemInto(storedContact, decoded_);
    appendText({recordNumber, u"  ", decoded_});
}

void CompactEntries::append(QStringView entry)
{
    appendText({entry});
}

void CompactEntries::appendText(std::initializer_list<QStringView> parts)
{
    const bool wide = std::any_of(parts.begin(), parts.end(), beyondLatin1);
    qsizetype bytes = 0;
    for (QStringView part : parts) bytes += wide ? part.size() * qsizetype(sizeof(char16_t)) : part.size();
    char* to = room(bytes);
    for (QStringView part : parts) {
        if (part.isEmpty()) continue; // an empty view may have no data for memcpy
        if (wide) {
            std::memcpy(to, part.utf16(), static_cast<size_t>(part.size()) * sizeof(char16_t));
            to += part.size() * qsizetype(sizeof(char16_t));
        } else {
            for (QChar c : part) *to++ = static_cast<char>(c.unicode());
        }
    }
    starts_.append(wide ? used_ | kWide : used_);
    used_ += bytes;
}

CompactEntries::Units CompactEntries::units(qsizetype i) const
{
    const qint64 begin = starts_[i] & ~kWide;
    const qint64 end = i + 1 < starts_.size() ? starts_[i + 1] & ~kWide : used_;
    const bool wide = (starts_[i] & kWide) != 0;
    return {units_.constData() + begin, wide ? (end - begin) / 2 : end - begin, wide};
}

QString CompactEntries::text(qsizetype i) const
{
    const Units entry = units(i);
    if (!entry.wide) return QString::fromLatin1(entry.data, entry.size);
    QString text(entry.size, Qt::Uninitialized);
    std::memcpy(text.data(), entry.data, static_cast<size_t>(entry.size) * sizeof(char16_t));
    return text;
}

} // namespace kestrix
