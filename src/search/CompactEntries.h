// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QtEndian>

namespace kestrix {

// The search list's entries ("number, two blanks, contact name"), each with
// its card's company, in one buffer instead of string objects, so a million
// of them cost little more than their characters: one byte each when all of
// an entry's (or a company's) characters lie below U+0100, else two, plus
// nine bytes per card for where it starts and how long its company is.
class CompactEntries {
public:
    // One entry's characters as stored: Latin-1 bytes, or UTF-16 units in the
    // machine's byte order.
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

    // Adds an entry and its company given as text.
    void append(QStringView entry, QStringView company = {});

    struct Card {
        Units entry;
        Units company;
    };

    qsizetype size() const { return starts_.size(); }
    Card card(qsizetype i) const;
    Units units(qsizetype i) const { return card(i).entry; }
    Units company(qsizetype i) const { return card(i).company; }
    QString text(qsizetype i) const;
    QString companyText(qsizetype i) const;

private:
    // Where the next card goes, with room for `bytes`.
    char* room(qsizetype bytes);
    // Ends the card begun at `used_`: its entry's and its company's bytes
    // are written, the company's last.
    void finish(qsizetype entryBytes, bool wideEntry, qsizetype companyBytes, bool wideCompany);

    // Each card's first byte in `units_`, with kWide set for an entry in
    // UTF-16 and kWideCompany for such a company. A card is its entry's
    // bytes, its company's, and then the company's length in bytes, seven
    // bits a byte, the lowest last; it ends where the next card begins, the
    // last at `used_`. Beyond `used_`, `units_` is room for more, not yet
    // touched.
    static constexpr qint64 kWide = qint64(1) << 62;
    static constexpr qint64 kWideCompany = qint64(1) << 61;
    static constexpr qint64 kFlags = kWide | kWideCompany;
    QByteArray units_;
    qsizetype used_ = 0;
    QList<qint64> starts_;
    QString decoded_; // reused for the items that need decoding
};

} // namespace kestrix
