// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace kestrix {

// A contact as the readers find it, before it is fitted to the card's
// boxes: every reader fills one of these, so the vCard and CSV readers share
// one set of rules for what goes where (CardMapping.h).

// No preference given; lower ranks are more preferred, as vCard 4.0's PREF.
inline constexpr int kNoPreference = 1000;

enum class PhoneKind { Voice, Cell, Fax, Other };

// Where a value was found in its file (property or column), so what ends up
// in the memo keeps the file's order.
struct ContactItem {
    int order = 0;
    int prefRank = kNoPreference;
    int slot = 0;  // 1 or 2: the writer meant the first or second box of its kind; 0: any
    QString label; // the readable name of this item in the memo, e.g. "Phone (home)"
};

struct ContactPhone : ContactItem {
    QString number;
    PhoneKind kind = PhoneKind::Voice;
};

struct ContactEmail : ContactItem {
    QString address;
};

struct ContactAddress : ContactItem {
    QString poBox, extended, street, locality, region, postalCode, country;
    bool work = false;
};

struct MemoLine {
    int order = 0;
    QString label;
    QString value;
};

struct ContactData {
    std::optional<QString> formattedName; // the full name as written (vCard FN)
    int formattedNameOrder = 0;
    // The name in parts (vCard N, or name columns); used for the contact only
    // when there is no full name.
    QString prefix, given, additional, family, suffix;
    int namePartsOrder = 0;
    bool hasNameParts = false; // a vCard's N was given, even an empty one
    std::optional<QString> company;
    // What the card is of (vCard KIND): for an organisation, a full name
    // that is the company's names no contact person.
    std::optional<MemoLine> kind;
    std::vector<ContactPhone> phones;
    std::vector<ContactEmail> emails;
    std::vector<ContactAddress> addresses;
    QString note;                 // the memo's first lines
    std::vector<MemoLine> extras; // values without a box of their own
    std::vector<QString> leftOut; // layout hints and markers without contact data: why each was left out
};

} // namespace kestrix
