// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace kestrix {

// How Add turns the last issued record number into the next one. The stored
// number is text and may have been typed by hand, so reading is forgiving:
// blanks, tabs and line feeds are ignored wherever they are, the longest
// leading number counts ("12abc" is 12) and text without one counts as 0.

// The value of the leading number of `text`, or nothing when it is too large
// for a double.
std::optional<double> numberFromText(QStringView text);

// Shortest text of at most 15 significant digits: 42, 3.5, 1E+15, 1E-05.
QString textFromNumber(double value);

// The number after `text`, or after `atLeast` when that is larger; nothing
// when that number cannot be counted on: too large for a double, or so large
// (10^15 on) that one more is written the same, and would be issued twice.
std::optional<QString> nextRecordNumber(QStringView text, std::optional<double> atLeast = std::nullopt);

// Whether `text` is a plain whole number: digits only, blanks around them
// allowed. Another computer's counter counts only when it is one.
bool isPlainWholeNumber(QStringView text);

} // namespace kestrix
