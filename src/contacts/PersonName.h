// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <optional>

namespace kestrix {

// A person's name in the five parts of a vCard's N, in its order.
struct PersonName {
    QString family, given, additional, prefix, suffix;

    bool isEmpty() const
    {
        return family.isEmpty() && given.isEmpty() && additional.isEmpty() && prefix.isEmpty() && suffix.isEmpty();
    }
    friend bool operator==(const PersonName&, const PersonName&) = default;
};

// The parts of a name as people write it: honorific prefixes before it
// ("Dr. Prof."), suffixes after it, with or without a comma ("Jr.", "Ph.D.");
// the last word the family name, with the particles before it ("van der",
// "de la"), the first the given name, any between additional names; or
// "Family, Given". A single word is the family name. Several prefixes,
// suffixes or additional names are one part, joined by blanks. A name that
// is not empty gives parts that are not all empty.
PersonName parseName(const QString& fullName);

// The memo line that keeps name parts the full name cannot give back; the
// vCard export writes its parts as the card's N.
inline constexpr QLatin1String kNamePartsLabel("Name parts");

// The parts as that line's value: in N's order, "; " between them, empty
// ones at the end left out, and a backslash, semicolon, line feed or CR in a
// part escaped as \\, \;, \n or \r.
QString namePartsText(const PersonName& parts);

// The parts of a value in exactly the form namePartsText writes; nothing
// for any other text.
std::optional<PersonName> namePartsFromText(QStringView text);

// What an import keeps of name parts given beside a full name.
enum class KeptName {
    Nothing, // none given, or what parseName makes of the full name
    Parts,   // others, whose words the full name all holds: a kNamePartsLabel line
    Words,   // words the full name does not say: a "Name" line of them
};
KeptName keptName(const PersonName& parts, const QString& fullName);

// The full name of a card that names neither a contact nor a company, as
// vCard requires one: how the contact is reached, else where it is, else a
// text that names nothing. Never empty.
QString nameStandIn(const CardRecord& card);

// The name parts a card's vCard carries, and the memo left for its NOTE:
// the parts parseName makes of the contact, or those of a kNamePartsLabel
// line that ends the memo, where an import of that vCard puts it back
// (then the line is left out of the memo). Empty parts for no contact.
struct WrittenName {
    PersonName parts;
    QString memo;
};
WrittenName writtenName(const QString& contact, const QString& memo);

} // namespace kestrix
