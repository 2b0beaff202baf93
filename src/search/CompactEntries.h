// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QtEndian>

#include <initializer_list>

namespace kestrix {

// The search list's entries ("number, two blanks, contact name") in one
// buffer instead of a string object each, so a million of them cost little
// more than their characters: one byte each when all of an entry's characters
// lie below U+0100, else two, plus eight bytes per entry for where it starts.
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

    // Adds the entry of a card read from the card file: `storedContact` is
    // the contact item's bytes as stored. Plain ASCII and UTF-8 of Latin-1
    // characters go straight into the buffer; only other contacts are
    // decoded into a string first.
    void append(const QString& recordNumber, QByteArrayView storedContact);

    // Adds an entry given as text.
    void append(QStringView entry);

    qsizetype size() const { return starts_.size(); }
    Units units(qsizetype i) const;
    QString text(qsizetype i) const;

private:
    void appendText(std::initializer_list<QStringView> parts);
    // Where the next entry goes, with room for `bytes`.
    char* room(qsizetype bytes);

    // Each entry's first byte in `units_`, with kWide set for UTF-16; an
    // entry ends where the next begins, the last at `used_`. Beyond `used_`,
    // `units_` is room for more, not yet touched.
    static constexpr qint64 kWide = qint64(1) << 62;
    QByteArray units_;
    qsizetype used_ = 0;
    QList<qint64> starts_;
    QString decoded_; // reused for the contacts that need decoding
};

} // namespace kestrix
