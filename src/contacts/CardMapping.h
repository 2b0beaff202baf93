// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ContactData.h"
#include "card/CardRecord.h"

#include <QLatin1String>
#include <QString>

#include <vector>

namespace kestrix {

// The editor's caption of each box, as CSV headers and reports name them.
QLatin1String fieldCaption(Field field);

// A contact fitted to the card's boxes, with what the fitting changed.
struct MappedCard {
    CardRecord card;             // field 14 left empty
    std::vector<QString> issues; // why the card is not taken whole
    bool empty = false;          // no box holds anything: not worth a card
};

// The one set of rules for both readers: the full name, else the name parts,
// as the contact; the preferred (else the first) of each kind of phone,
// e-mail and address in their boxes; everything else, and the parts of the
// chosen address that have no box, as "Label: value" memo lines after the
// note, in file order. A double quote, which the card file cannot hold,
// becomes U+201D and is reported.
MappedCard mapContact(const ContactData& contact);

// The name parts joined with single blanks, leaving out empty ones.
QString joinedName(const QStringList& parts);

// The longest label a memo line or a report gives. A column's name, or an
// address book's label for a group, is said once in a file and labels a
// value in every row or property: a long one would multiply the memo, and
// the time to read, by as many.
inline constexpr qsizetype kLongestLabel = 100;

// `label`, cut to kLongestLabel characters, the last an ellipsis, when it
// is longer.
QString shortLabel(const QString& label);

// The UID a card is exported with: the same from one export to the next as
// long as its number and contact stay the same, so a phone importing twice
// can tell. A bare UUID, without the "urn:uuid:" of vCard 4.0.
QString exportUid(const CardRecord& card);

} // namespace kestrix
