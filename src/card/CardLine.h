// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace kestrix {

// The stored line of a card: every field in double quotes, commas between,
// CR LF at the end. Fields are written as UTF-8.
QByteArray cardLine(const CardRecord& card);

// The card a line of the card file holds, read by the rules a scan reads
// by: an item in double quotes runs to the next double quote, any other to
// the next comma or line end, blanks trimmed. For a card kept as bytes (a
// change's record), to be shown or known by its number.
CardRecord cardOfLine(QByteArrayView line);

// Whether `line` is one card in the stored form: what cardLine writes, in
// whichever encoding its fields were written.
bool isStoredLine(QByteArrayView line);

// The counter file's content: the number text in quotes, then CR LF.
QByteArray counterLine(const QString& number);

// The format has no escape for a double quote, so a field that holds one
// cannot be stored. Returns the first such field.
std::optional<Field> firstFieldWithDoubleQuote(const CardRecord& card);

} // namespace kestrix
