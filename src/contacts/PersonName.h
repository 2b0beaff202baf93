// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

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

} // namespace kestrix
