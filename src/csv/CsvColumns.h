// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

namespace kestrix {

// What a CSV column holds, told by its header as Kestrix, mail programs,
// phone exports and spreadsheet templates name them (letter case aside).
enum class CsvRole {
    Unknown, // no box of its own: the memo gets "Header: value"
    Ignored, // Kestrix's record number: the importer issues fresh ones
    Company,
    FullName,
    Prefix,
    Given,
    Middle,
    Family,
    Suffix,
    Street,
    Extended,
    City,
    Region,
    PostalCode,
    Country,
    PoBox,
    Phone,
    Phone2,
    Cell,
    Fax,
    Email,
    OtherEmail, // an e-mail address for the box when the first is empty
    Note,
    // Numbered groups ("Phone 1 - Type", "Phone 1 - Value"): the type
    // column says what the value column of the same number holds.
    PhoneType,
    PhoneValue,
    EmailType,
    EmailValue,
    AddressType,
    AddressFormatted,
    AddressStreet,
    AddressExtended,
    AddressCity,
    AddressRegion,
    AddressPostalCode,
    AddressCountry,
    AddressPoBox,
    OrganizationName,
};

struct CsvColumn {
    CsvRole role = CsvRole::Unknown;
    int group = 0; // the number of a numbered group
};

CsvColumn csvColumnFor(const QString& header);

// Values some programs write for "nothing" in a column with no box
// ("Gender: Unspecified", "Birthday: 0/0/00"): left out of the memo.
bool isPlaceholderValue(const QString& header, const QString& value);

} // namespace kestrix
