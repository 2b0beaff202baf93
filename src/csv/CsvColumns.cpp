// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvColumns.h"

#include <QHash>

#include <utility>

namespace kestrix {

namespace {

struct Header {
    const char* name; // in lower case
    CsvRole role;
};

constexpr Header kHeaders[] = {
    // Kestrix's own captions.
    {"company name", CsvRole::Company},
    {"contact name", CsvRole::FullName},
    {"address", CsvRole::Street},
    {"address 2", CsvRole::Extended},
    {"city", CsvRole::City},
    {"st", CsvRole::Region},
    {"zip", CsvRole::PostalCode},
    {"phone", CsvRole::Phone},
    {"phone 2", CsvRole::Phone2},
    {"cell", CsvRole::Cell},
    {"fax", CsvRole::Fax},
    {"email", CsvRole::Email},
    {"memo", CsvRole::Note},
    {"record", CsvRole::Ignored},
    // Mail programs' and address books' exports, and spreadsheet templates.
    {"company", CsvRole::Company},
    {"organization", CsvRole::Company},
    {"organisation", CsvRole::Company},
    {"organization name", CsvRole::Company},
    {"name", CsvRole::FullName},
    {"full name", CsvRole::FullName},
    {"display name", CsvRole::FullName},
    {"name prefix", CsvRole::Prefix},
    {"first name", CsvRole::Given},
    {"given name", CsvRole::Given},
    {"middle name", CsvRole::Middle},
    {"additional name", CsvRole::Middle},
    {"last name", CsvRole::Family},
    {"family name", CsvRole::Family},
    {"surname", CsvRole::Family},
    {"name suffix", CsvRole::Suffix},
    {"business street", CsvRole::Street},
    {"work address", CsvRole::Street},
    {"street", CsvRole::Street},
    {"address 1", CsvRole::Street},
    {"address line 1", CsvRole::Street},
    {"business street 2", CsvRole::Extended},
    {"work address 2", CsvRole::Extended},
    {"address line 2", CsvRole::Extended},
    {"business city", CsvRole::City},
    {"work city", CsvRole::City},
    {"business state", CsvRole::Region},
    {"work state", CsvRole::Region},
    {"state", CsvRole::Region},
    {"region", CsvRole::Region},
    {"business postal code", CsvRole::PostalCode},
    {"work zipcode", CsvRole::PostalCode},
    {"work zip code", CsvRole::PostalCode},
    {"postal code", CsvRole::PostalCode},
    {"zip code", CsvRole::PostalCode},
    {"postcode", CsvRole::PostalCode},
    {"business country/region", CsvRole::Country},
    {"business country", CsvRole::Country},
    {"work country", CsvRole::Country},
    {"country", CsvRole::Country},
    {"country/region", CsvRole::Country},
    {"business address po box", CsvRole::PoBox},
    {"business phone", CsvRole::Phone},
    {"work phone", CsvRole::Phone},
    {"telephone", CsvRole::Phone},
    {"phone number", CsvRole::Phone},
    {"business phone 2", CsvRole::Phone2},
    {"mobile phone", CsvRole::Cell},
    {"mobile number", CsvRole::Cell},
    {"mobile", CsvRole::Cell},
    {"cell phone", CsvRole::Cell},
    {"business fax", CsvRole::Fax},
    {"work fax", CsvRole::Fax},
    {"fax number", CsvRole::Fax},
    {"e-mail", CsvRole::Email},
    {"e-mail address", CsvRole::Email},
    {"email address", CsvRole::Email},
    {"primary email", CsvRole::Email},
    {"e-mail 2 address", CsvRole::OtherEmail},
    {"e-mail 3 address", CsvRole::OtherEmail},
    {"secondary email", CsvRole::OtherEmail},
    {"notes", CsvRole::Note},
    {"note", CsvRole::Note},
};

struct GroupField {
    const char* kind;  // in lower case
    const char* field; // in lower case
    CsvRole role;
};

constexpr GroupField kGroupFields[] = {
    {"phone", "type", CsvRole::PhoneType},
    {"phone", "label", CsvRole::PhoneType},
    {"phone", "value", CsvRole::PhoneValue},
    {"e-mail", "type", CsvRole::EmailType},
    {"e-mail", "label", CsvRole::EmailType},
    {"e-mail", "value", CsvRole::EmailValue},
    {"email", "type", CsvRole::EmailType},
    {"email", "label", CsvRole::EmailType},
    {"email", "value", CsvRole::EmailValue},
    {"address", "type", CsvRole::AddressType},
    {"address", "label", CsvRole::AddressType},
    {"address", "formatted", CsvRole::AddressFormatted},
    {"address", "street", CsvRole::AddressStreet},
    {"address", "extended address", CsvRole::AddressExtended},
    {"address", "city", CsvRole::AddressCity},
    {"address", "region", CsvRole::AddressRegion},
    {"address", "postal code", CsvRole::AddressPostalCode},
    {"address", "country", CsvRole::AddressCountry},
    {"address", "po box", CsvRole::AddressPoBox},
    {"organization", "name", CsvRole::OrganizationName},
};

// "Sensitivity: Normal" and its like say nothing about the contact.
constexpr std::pair<const char*, const char*> kPlaceholders[] = {
    {"gender", "unspecified"}, {"priority", "normal"},    {"sensitivity", "normal"},
    {"private", "false"},      {"birthday", "0/0/00"},    {"anniversary", "0/0/00"},
    {"e-mail type", "smtp"},   {"e-mail 2 type", "smtp"}, {"e-mail 3 type", "smtp"},
};

} // namespace

CsvColumn csvColumnFor(const QString& header)
{
    // One look-up per header: a file may have hundreds of columns.
    static const QHash<QString, CsvRole> roles = [] {
        QHash<QString, CsvRole> byName;
        for (const Header& known : kHeaders) byName.insert(QLatin1String(known.name), known.role);
        return byName;
    }();
    const QString name = header.trimmed().toLower();
    const auto found = roles.constFind(name);
    if (found != roles.constEnd()) return {*found, 0};

    // "<kind> <number> - <field>", as in "phone 1 - value".
    const qsizetype dash = name.indexOf(QLatin1String(" - "));
    if (dash < 0) return {};
    const QStringView head = QStringView(name).first(dash);
    const QStringView field = QStringView(name).sliced(dash + 3).trimmed();
    const qsizetype blank = head.lastIndexOf(QLatin1Char(' '));
    if (blank < 0) return {};
    bool ok = false;
    const int number = head.sliced(blank + 1).toInt(&ok);
    if (!ok || number < 0) return {};
    const QStringView kind = head.first(blank);
    for (const GroupField& known : kGroupFields)
        if (kind == QLatin1String(known.kind) && field == QLatin1String(known.field)) return {known.role, number};
    return {};
}

bool isPlaceholderValue(const QString& header, const QString& value)
{
    for (auto [name, placeholder] : kPlaceholders)
        if (header.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0
            && value.trimmed().compare(QLatin1String(placeholder), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace kestrix
