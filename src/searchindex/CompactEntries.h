// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace kestrix {

// The search list's entries ("number, two blanks, contact name"), each with
// its card's company, in one buffer instead of string objects, so a million
// of them cost little more than their characters: one byte each when all of
// an entry's (or a company's) characters lie below U+0100, else two, plus
// five bytes per card for where it starts and how long its company is.
class CompactEntries {
public:
    // One entry's characters as stored: Latin-1 bytes, or UTF-16 units in the
    // machine's byte order. At least sixteen bytes follow the last
    // character of every text in the store, to read sixteen at a time.
    struct Units {
        const char* data = nullptr;
        qsizetype size = 0;
        bool wide = false;

        char16_t operator[](qsizetype i) const
        {
            return wide ? qFromUnaligned<char16_t>(data + 2 * i) : static_cast<unsigned char>(data[i]);
        }

        // A text's units, to compare it with stored entries.
        static Units of(QStringView text) { return {reinterpret_cast<const char*>(text.utf16()), text.size(), true}; }
    };

    // Adds the entry of a card read from the card file, and its company:
    // `storedContact` and `storedCompany` are the items' bytes as stored.
    // Plain ASCII and UTF-8 of Latin-1 characters go straight into the
    // buffer; only other items are decoded into a string first.
    void append(const QString& recordNumber, QByteArrayView storedContact, QByteArrayView storedCompany = {});

    struct Card {
        Units entry;
        Units company;
    };

    qsizetype size() const { return starts_.size(); }
    Card card(qsizetype i) const;
    Units units(qsizetype i) const { return card(i).entry; }
    Units company(qsizetype i) const { return card(i).company; }
    // How many bytes card `i` takes.
    qint64 cardBytes(qsizetype i) const { return (i + 1 < starts_.size() ? startOf(i + 1) : used_) - startOf(i); }
    QString text(qsizetype i) const;
    QString companyText(qsizetype i) const;

private:
    // Where the next card goes, with room for `bytes`.
    char* room(qsizetype bytes);
    // Ends the card begun at `used_`: its entry's and its company's bytes
    // are written, the company's last.
    void finish(qsizetype entryBytes, bool wideEntry, qsizetype companyBytes, bool wideCompany);

    // Where card `i` begins in `units_`.
    qint64 startOf(qsizetype i) const;

    // Each card's first byte in `units_`, less a whole number of spans of
    // kSpan bytes, with kWide set for an entry in UTF-16 and kWideCompany for
    // such a company; `spanStarts_` holds the first card of each span after
    // the first (more than once where a card crosses several). A card is its
    // entry's bytes, its company's, and then the company's length in bytes,
    // seven bits a byte, the lowest last; it ends where the next card
    // begins, the last at `used_`. Beyond `used_`, `units_` is room for
    // more, not yet touched.
    static constexpr quint32 kWide = 1u << 31;
    static constexpr quint32 kWideCompany = 1u << 30;
    static constexpr quint32 kOffset = kWideCompany - 1;
    static constexpr qint64 kSpan = qint64(kOffset) + 1;
    QList<quint32> starts_;
    std::vector<qsizetype> spanStarts_;
    QByteArray units_;
    qsizetype used_ = 0;
    QString decoded_; // reused for the items that need decoding
};

inline qint64 CompactEntries::startOf(qsizetype i) const
{
    const qint64 offset = starts_[i] & kOffset;
    if (spanStarts_.empty()) return offset; // all cards in the first span: the usual case
    const auto spans = std::upper_bound(spanStarts_.begin(), spanStarts_.end(), i) - spanStarts_.begin();
    return spans * kSpan + offset;
}

inline CompactEntries::Card CompactEntries::card(qsizetype i) const
{
    const quint32 start = starts_[i];
    const qint64 begin = startOf(i);
    const qint64 end = i + 1 < starts_.size() ? startOf(i + 1) : used_;
    const auto* bytes = reinterpret_cast<const unsigned char*>(units_.constData());
    // The company's length, read back from the card's end.
    const unsigned char* at = bytes + end;
    quint64 companyBytes = 0;
    int shift = 0;
    unsigned char group = 0;
    do {
        group = *--at;
        companyBytes |= quint64(group & 0x7F) << shift;
        shift += 7;
    } while (group & 0x80 && shift < 64);
    const char* const company = reinterpret_cast<const char*>(at) - companyBytes;
    const char* const entry = units_.constData() + begin;
    const bool wideEntry = (start & kWide) != 0;
    const bool wideCompany = (start & kWideCompany) != 0;
    const qsizetype entryBytes = company - entry;
    return {{entry, wideEntry ? entryBytes / 2 : entryBytes, wideEntry},
            {company, qsizetype(wideCompany ? companyBytes / 2 : companyBytes), wideCompany}};
}

} // namespace kestrix
