// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kestrix {

// Turns the bytes of one stored item into text. Items are UTF-8 when their
// bytes are valid UTF-8; anything else comes from an older 8-bit file and is
// read as Windows-1252. A CR LF pair inside the item becomes one line feed,
// the line break the editor's memo box uses.
QString decodeItem(QByteArrayView bytes);

// True when the item's text is its bytes, one character each: plain ASCII
// without a carriage return. Such an item needs no decoding to compare.
bool decodesToItself(QByteArrayView bytes);
// Whether a stored item's bytes are the UTF-8 of its text, so a key of the
// text can be made of them without decoding.
bool isUtf8OfItsText(QByteArrayView bytes);

// Whether the item's text is `text`, decoding it only when its bytes are not
// already its text.
bool itemEquals(QByteArrayView bytes, QStringView text);

// Whether stored items hold one given text, told by their bytes wherever
// bytes can tell: a rewrite compares every card's contact this way without
// decoding the cards that cannot match.
class ItemMatcher {
public:
    explicit ItemMatcher(QString text);
    bool matches(QByteArrayView bytes) const;

private:
    QString text_;
    QByteArray stored_; // the text as Kestrix stores it
};

// decodeItem into `text`, reusing its storage: a scan assigns every card's
// number this way without an allocation per card.
void decodeItemInto(QByteArrayView bytes, QString& text);

// Writes the item's text to `out`, one byte per character, when decoding is
// no more than that: plain ASCII, or UTF-8 of characters below U+0100, without
// a carriage return. Returns the characters written, or -1 (with `out` in an
// unspecified state) for any other item. `out` has room for bytes.size().
qsizetype decodeAsLatin1(QByteArrayView bytes, char* out);

// Windows-1252 by a fixed table: Latin-1 except for 0x80 to 0x9F. A table
// rather than the toolkit's codec, which costs a codec lookup per item and is
// missing where the toolkit was built without ICU.
QString decodeWindows1252(QByteArrayView bytes);

// The bytes a field is stored as: UTF-8, each line feed written as CR LF.
QByteArray encodeField(const QString& text);

// The UTF-8 of the character at `text[i]` written at `out`, a surrogate pair
// whole (`i` left on its second half) and a lone half as U+FFFD, as Qt's
// encoder writes it; returns the end. For writers that encode a character
// at a time: four bytes at most, three for a single unit.
char* appendUtf8Of(QStringView text, qsizetype& i, char* out);

} // namespace kestrix
