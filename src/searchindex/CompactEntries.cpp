// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CompactEntries.h"

#include "card/TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace kestrix {

namespace {

// A company's length takes at most this many bytes, seven bits each; and
// sixteen bytes of room after it, for a reader of sixteen bytes at a time.
constexpr qsizetype kLengthBytes = 10 + 16;

bool beyondLatin1(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

bool beyondLatin1(std::initializer_list<QStringView> parts)
{
    return std::any_of(parts.begin(), parts.end(), [](QStringView part) { return beyondLatin1(part); });
}

qsizetype bytesOf(std::initializer_list<QStringView> parts, bool wide)
{
    qsizetype units = 0;
    for (QStringView part : parts) units += part.size();
    return wide ? units * qsizetype(sizeof(char16_t)) : units;
}

// Writes `parts` to `to`, a byte a character or, when `wide`, as UTF-16
// units; returns the bytes written.
qsizetype put(char* to, std::initializer_list<QStringView> parts, bool wide)
{
    char* const start = to;
    for (QStringView part : parts) {
        if (part.isEmpty()) continue; // an empty view may have no data for memcpy
        if (wide) {
            std::memcpy(to, part.utf16(), static_cast<size_t>(part.size()) * sizeof(char16_t));
            to += part.size() * qsizetype(sizeof(char16_t));
        } else {
            for (QChar c : part) *to++ = static_cast<char>(c.unicode());
        }
    }
    return to - start;
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

void CompactEntries::append(const QString& recordNumber, QByteArrayView storedContact, QByteArrayView storedCompany)
{
    const qsizetype numberSize = recordNumber.size();
    char* to = room(numberSize + 2 + storedContact.size() + storedCompany.size() + kLengthBytes);
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
    qsizetype entryBytes = numberSize + 2 + contactSize;
    bool wideEntry = false;
    if (contactSize < 0) {
        decodeItemInto(storedContact, decoded_);
        const std::initializer_list<QStringView> entry = {recordNumber, u"  ", decoded_};
        wideEntry = beyondLatin1(entry);
        entryBytes = bytesOf(entry, wideEntry);
        to = room(entryBytes + storedCompany.size() + kLengthBytes);
        put(to, entry, wideEntry);
    }

    qsizetype companyBytes = decodeAsLatin1(storedCompany, to + entryBytes);
    bool wideCompany = false;
    if (companyBytes < 0) {
        decodeItemInto(storedCompany, decoded_);
        wideCompany = beyondLatin1(decoded_);
        companyBytes = bytesOf({decoded_}, wideCompany);
        to = room(entryBytes + companyBytes + kLengthBytes);
        put(to + entryBytes, {decoded_}, wideCompany);
    }
    finish(entryBytes, wideEntry, companyBytes, wideCompany);
}

void CompactEntries::finish(qsizetype entryBytes, bool wideEntry, qsizetype companyBytes, bool wideCompany)
{
    // The length's groups of seven bits, the highest first; read back from
    // the card's end, a byte with its high bit set has another before it.
    auto length = static_cast<quint64>(companyBytes);
    unsigned char groups[kLengthBytes];
    int count = 0;
    do {
        groups[count++] = static_cast<unsigned char>(length & 0x7F);
        length >>= 7;
    } while (length != 0);
    char* to = units_.data() + used_ + entryBytes + companyBytes;
    for (int i = count - 1; i >= 0; --i) *to++ = static_cast<char>(groups[i] | (i < count - 1 ? 0x80 : 0));

    const qsizetype card = starts_.size();
    while (qsizetype(spanStarts_.size()) < used_ / kSpan) spanStarts_.push_back(card);
    starts_.append(quint32(used_ & kOffset) | (wideEntry ? kWide : 0) | (wideCompany ? kWideCompany : 0));
    used_ += entryBytes + companyBytes + count;
    // Read, never used, by whoever reads the last card's texts sixteen
    // bytes at a time; the next card writes over them.
    std::memset(units_.data() + used_, 0, 16);
}

namespace {

QString textOf(CompactEntries::Units units)
{
    if (!units.wide) return QString::fromLatin1(units.data, units.size);
    QString text(units.size, Qt::Uninitialized);
    std::memcpy(text.data(), units.data, static_cast<size_t>(units.size) * sizeof(char16_t));
    return text;
}

} // namespace

QString CompactEntries::text(qsizetype i) const
{
    return textOf(units(i));
}

QString CompactEntries::companyText(qsizetype i) const
{
    return textOf(company(i));
}

} // namespace kestrix
