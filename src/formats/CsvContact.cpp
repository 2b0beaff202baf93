// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvContact.h"

namespace kestrix {

namespace {

// A numbered group's type: "* Work" marks the primary one.
int preferenceOf(QString& type)
{
    type = type.trimmed();
    if (!type.startsWith(QLatin1String("* "))) return kNoPreference;
    type.remove(0, 2);
    return 1;
}

QString labelled(const char* base, const QString& type)
{
    return type.isEmpty() ? QLatin1String(base) : QLatin1String(base) + QStringLiteral(" (") + type + QLatin1Char(')');
}

} // namespace

ContactData CsvContactReader::read(const std::vector<CsvCell>& cells)
{
    ContactData contact;
    groups_.clear();
    ContactAddress address; // the one the named address columns give
    address.slot = 1;
    address.work = true;
    address.order = -1;
    auto setAddressPart = [&](QString ContactAddress::*part, const QString& value, int column) {
        address.*part = value;
        if (address.order < 0) address.order = column;
    };
    bool namePartsSeen = false;

    for (const CsvCell& cell : cells) {
        const int column = cell.column;
        const QString& value = cell.value;
        if (column >= static_cast<int>(columns_.size())) {
            contact.extras.push_back({column, QStringLiteral("Column %1").arg(column + 1), value});
            continue;
        }
        const CsvColumn& role = columns_[column];
        auto groupOf = [&](int kind) -> Group& {
            Group& group = groups_[{kind, role.group}];
            if (group.values.empty() && group.type.isEmpty()) group.order = column;
            return group;
        };
        auto phone = [&](PhoneKind kind, int slot) {
            ContactPhone phone;
            phone.order = column;
            phone.slot = slot;
            phone.kind = kind;
            phone.label = headers_[column];
            phone.number = value;
            contact.phones.push_back(std::move(phone));
        };
        auto namePart = [&](QString ContactData::*part) {
            contact.*part = value;
            if (!namePartsSeen) contact.namePartsOrder = column;
            namePartsSeen = true;
        };
        switch (role.role) {
        case CsvRole::Ignored:
            break;
        case CsvRole::Company:
        case CsvRole::OrganizationName:
            if (!contact.company)
                contact.company = value;
            else
                contact.extras.push_back({column, headers_[column], value});
            break;
        case CsvRole::FullName:
            if (!contact.formattedName) {
                contact.formattedName = value;
                contact.formattedNameOrder = column;
            } else {
                contact.extras.push_back({column, headers_[column], value});
            }
            break;
        case CsvRole::Prefix:
            namePart(&ContactData::prefix);
            break;
        case CsvRole::Given:
            namePart(&ContactData::given);
            break;
        case CsvRole::Middle:
            namePart(&ContactData::additional);
            break;
        case CsvRole::Family:
            namePart(&ContactData::family);
            break;
        case CsvRole::Suffix:
            namePart(&ContactData::suffix);
            break;
        case CsvRole::Street:
            setAddressPart(&ContactAddress::street, value, column);
            break;
        case CsvRole::Extended:
            setAddressPart(&ContactAddress::extended, value, column);
            break;
        case CsvRole::City:
            setAddressPart(&ContactAddress::locality, value, column);
            break;
        case CsvRole::Region:
            setAddressPart(&ContactAddress::region, value, column);
            break;
        case CsvRole::PostalCode:
            setAddressPart(&ContactAddress::postalCode, value, column);
            break;
        case CsvRole::Country:
            setAddressPart(&ContactAddress::country, value, column);
            break;
        case CsvRole::PoBox:
            setAddressPart(&ContactAddress::poBox, value, column);
            break;
        case CsvRole::Phone:
            phone(PhoneKind::Voice, 1);
            break;
        case CsvRole::Phone2:
            phone(PhoneKind::Voice, 2);
            break;
        case CsvRole::Cell:
            phone(PhoneKind::Cell, 0);
            break;
        case CsvRole::Fax:
            phone(PhoneKind::Fax, 0);
            break;
        case CsvRole::Email:
        case CsvRole::OtherEmail: {
            ContactEmail email;
            email.order = column;
            email.prefRank = role.role == CsvRole::Email ? 1 : 2;
            email.label = headers_[column];
            email.address = value;
            contact.emails.push_back(std::move(email));
            break;
        }
        case CsvRole::Note:
            if (contact.note.isEmpty())
                contact.note = value;
            else
                contact.extras.push_back({column, headers_[column], value});
            break;
        case CsvRole::PhoneType:
            groupOf(0).type = value;
            break;
        case CsvRole::EmailType:
            groupOf(1).type = value;
            break;
        case CsvRole::AddressType:
            groupOf(2).type = value;
            break;
        case CsvRole::PhoneValue:
            groupOf(0).values.emplace_back(role.role, value);
            break;
        case CsvRole::EmailValue:
            groupOf(1).values.emplace_back(role.role, value);
            break;
        case CsvRole::AddressFormatted:
        case CsvRole::AddressStreet:
        case CsvRole::AddressExtended:
        case CsvRole::AddressCity:
        case CsvRole::AddressRegion:
        case CsvRole::AddressPostalCode:
        case CsvRole::AddressCountry:
        case CsvRole::AddressPoBox:
            groupOf(2).values.emplace_back(role.role, value);
            break;
        case CsvRole::Unknown:
            if (!isPlaceholderValue(headers_[column], value))
                contact.extras.push_back({column, headers_[column], value});
            break;
        }
    }
    if (address.order >= 0) contact.addresses.push_back(std::move(address));
    addGroups(contact);
    return contact;
}

void CsvContactReader::addGroups(ContactData& contact)
{
    for (auto& [key, group] : groups_) {
        const int kind = key.first;
        QString type = group.type;
        const int preference = preferenceOf(type);
        const QString lowerType = type.toLower();
        // A type with no value to go with it says nothing about the contact.
        if (group.values.empty()) continue;
        if (kind == 0) {
            // Several numbers of one type stand in one cell, split by " ::: ".
            for (const QString& number : group.values.front().second.split(QStringLiteral(" ::: "))) {
                ContactPhone phone;
                phone.order = group.order;
                phone.prefRank = preference;
                phone.label = labelled("Phone", type);
                phone.number = number;
                if (lowerType.contains(QLatin1String("fax")))
                    phone.kind = PhoneKind::Fax;
                else if (lowerType.contains(QLatin1String("mobile")) || lowerType.contains(QLatin1String("cell")))
                    phone.kind = PhoneKind::Cell;
                else if (lowerType.contains(QLatin1String("pager"))
                         || (lowerType.contains(QLatin1String("home")) && !lowerType.contains(QLatin1String("work"))))
                    phone.kind = PhoneKind::Other;
                contact.phones.push_back(std::move(phone));
            }
        } else if (kind == 1) {
            for (const QString& address : group.values.front().second.split(QStringLiteral(" ::: "))) {
                ContactEmail email;
                email.order = group.order;
                email.prefRank = preference;
                email.label = labelled("E-mail", type);
                email.address = address;
                contact.emails.push_back(std::move(email));
            }
        } else {
            ContactAddress address;
            address.order = group.order;
            address.prefRank = preference;
            address.work = lowerType.contains(QLatin1String("work"));
            address.label = labelled("Address", type);
            QString formatted;
            for (const auto& [role, value] : group.values) {
                switch (role) {
                case CsvRole::AddressFormatted:
                    formatted = value;
                    break;
                case CsvRole::AddressStreet:
                    address.street = value;
                    break;
                case CsvRole::AddressExtended:
                    address.extended = value;
                    break;
                case CsvRole::AddressCity:
                    address.locality = value;
                    break;
                case CsvRole::AddressRegion:
                    address.region = value;
                    break;
                case CsvRole::AddressPostalCode:
                    address.postalCode = value;
                    break;
                case CsvRole::AddressCountry:
                    address.country = value;
                    break;
                case CsvRole::AddressPoBox:
                    address.poBox = value;
                    break;
                default:
                    break;
                }
            }
            const bool parts = !(address.street.isEmpty() && address.extended.isEmpty() && address.locality.isEmpty()
                                 && address.region.isEmpty() && address.postalCode.isEmpty()
                                 && address.country.isEmpty() && address.poBox.isEmpty());
            // The formatted address repeats the parts; alone, it has no box.
            if (parts)
                contact.addresses.push_back(std::move(address));
            else
                contact.extras.push_back({group.order, address.label, formatted});
        }
    }
}

} // namespace kestrix
