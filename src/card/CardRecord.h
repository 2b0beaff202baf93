// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <array>

namespace kestrix {

// The 14 fields of a card, in the order they are stored on disk and shown in
// the editor (field k lives in text box Text<k>).
enum class Field : int {
    CNAME = 0, // company name
    CCNAME,    // contact name: the key for delete and replace
    ADDRESS1,
    ADDRESS2,
    CITY,
    ST, // state
    ZIP,
    PHONE,
    PHONE2,
    CELL,
    FAX,
    email,
    MEMO,         // free text; may hold line breaks
    RecordNumber, // the card's number, kept as text
};

inline constexpr int kFieldCount = 14;

constexpr int indexOf(Field field)
{
    return static_cast<int>(field);
}

// Every field in field order, for walking a card: for (Field field : kAllFields).
inline constexpr std::array<Field, kFieldCount> kAllFields = [] {
    std::array<Field, kFieldCount> fields{};
    for (int i = 0; i < kFieldCount; ++i) fields[i] = static_cast<Field>(i);
    return fields;
}();

// One card as the user sees it: 14 texts in field order.
using CardRecord = std::array<QString, kFieldCount>;

} // namespace kestrix
