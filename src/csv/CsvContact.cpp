// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvContact.h"

#include "contacts/MemoProperties.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace kestrix {

namespace {

// The kinds of numbered group, in the order their boxes are filled.
enum GroupKind : int { PhoneGroup, EmailGroup, AddressGroup };

// A numbered group's columns: its type, and its values with the role of the
// column each came from.
struct Group {
    QString type;
    std::vector<std::pair<CsvRole, QString>> values;
    int order = 0;
};

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

// `lowerType` is a phone group's type in lower case.
PhoneKind phoneKindOf(const QString& lowerType)
{
    if (lowerType.contains(QLatin1String("fax"))) return PhoneKind::Fax;
    if (lowerType.contains(QLatin1String("mobile")) || lowerType.contains(QLatin1String("cell")))
        return PhoneKind::Cell;
    if (lowerType.contains(QLatin1String("pager"))
        || (lowerType.contains(QLatin1String("home")) && !lowerType.contains(QLatin1String("work"))))
        return PhoneKind::Other;
    return PhoneKind::Voice;
}

// The part of an address each value column of a numbered address group
// fills; its formatted address has none.
constexpr std::array<std::pair<CsvRole, QString ContactAddress::*>, 7> kGroupAddressParts = {{
    {CsvRole::AddressStreet, &ContactAddress::street},
    {CsvRole::AddressExtended, &ContactAddress::extended},
    {CsvRole::AddressCity, &ContactAddress::locality},
    {CsvRole::AddressRegion, &ContactAddress::region},
    {CsvRole::AddressPostalCode, &ContactAddress::postalCode},
    {CsvRole::AddressCountry, &ContactAddress::country},
    {CsvRole::AddressPoBox, &ContactAddress::poBox},
}};

bool hasParts(const ContactAddress& address)
{
    return !(address.street.isEmpty() && address.extended.isEmpty() && address.locality.isEmpty()
             && address.region.isEmpty() && address.postalCode.isEmpty() && address.country.isEmpty()
             && address.poBox.isEmpty());
}

// The contact of one row, filled a cell at a time: each role of column has
// its own way to take a cell (kTakes).
class RowContact {
public:
    explicit RowContact(const QStringList& headers) : headers_(headers)
    {
        // The named address columns give one address, for the boxes.
        address_.slot = 1;
        address_.work = true;
        address_.order = -1;
    }

    void take(const CsvCell& cell, const CsvColumn& column);
    void takeBeyondHeader(const CsvCell& cell);
    ContactData finish();

    void ignore(const CsvCell&, const CsvColumn&) {}
    void company(const CsvCell& cell, const CsvColumn&);
    void fullName(const CsvCell& cell, const CsvColumn&);
    void note(const CsvCell& cell, const CsvColumn&);
    void unknown(const CsvCell& cell, const CsvColumn&);
    template <QString ContactData::*Part>
    void namePart(const CsvCell& cell, const CsvColumn&);
    template <QString ContactAddress::*Part>
    void addressPart(const CsvCell& cell, const CsvColumn&);
    template <PhoneKind Kind, int Slot>
    void phone(const CsvCell& cell, const CsvColumn&);
    template <int PrefRank>
    void email(const CsvCell& cell, const CsvColumn&);
    template <GroupKind Kind>
    void groupType(const CsvCell& cell, const CsvColumn& column);
    template <GroupKind Kind>
    void groupValue(const CsvCell& cell, const CsvColumn& column);

private:
    void toMemo(const CsvCell& cell)
    {
        const QString& label = headers_[cell.column];
        const MemoProperty* property = memoPropertyLabelled(label);
        if (property && property->value == MemoValue::List) {
            toList(cell, label);
            return;
        }
        contact_.extras.push_back(
            {cell.column, label,
             property && property->value == MemoValue::Date ? memoDate(cell.value, {}) : cell.value});
    }
    void toList(const CsvCell& cell, const QString& label);
    Group& groupOf(GroupKind kind, const CsvCell& cell, const CsvColumn& column);
    void addGroups();
    void addPhones(const Group& group);
    void addEmails(const Group& group);
    void addAddress(const Group& group);

    const QStringList& headers_;
    ContactData contact_;
    ContactAddress address_;
    bool namePartsSeen_ = false;
    std::map<std::pair<int, int>, Group> groups_; // by kind and number
};

using Take = void (RowContact::*)(const CsvCell&, const CsvColumn&);

struct RoleTake {
    CsvRole role;
    Take take;
};

// How a cell of each role is taken, in the order of CsvRole.
constexpr RoleTake kTakes[] = {
    {CsvRole::Unknown, &RowContact::unknown},
    {CsvRole::Ignored, &RowContact::ignore},
    {CsvRole::Company, &RowContact::company},
    {CsvRole::FullName, &RowContact::fullName},
    {CsvRole::Prefix, &RowContact::namePart<&ContactData::prefix>},
    {CsvRole::Given, &RowContact::namePart<&ContactData::given>},
    {CsvRole::Middle, &RowContact::namePart<&ContactData::additional>},
    {CsvRole::Family, &RowContact::namePart<&ContactData::family>},
    {CsvRole::Suffix, &RowContact::namePart<&ContactData::suffix>},
    {CsvRole::Street, &RowContact::addressPart<&ContactAddress::street>},
    {CsvRole::Extended, &RowContact::addressPart<&ContactAddress::extended>},
    {CsvRole::City, &RowContact::addressPart<&ContactAddress::locality>},
    {CsvRole::Region, &RowContact::addressPart<&ContactAddress::region>},
    {CsvRole::PostalCode, &RowContact::addressPart<&ContactAddress::postalCode>},
    {CsvRole::Country, &RowContact::addressPart<&ContactAddress::country>},
    {CsvRole::PoBox, &RowContact::addressPart<&ContactAddress::poBox>},
    {CsvRole::Phone, &RowContact::phone<PhoneKind::Voice, 1>},
    {CsvRole::Phone2, &RowContact::phone<PhoneKind::Voice, 2>},
    {CsvRole::Cell, &RowContact::phone<PhoneKind::Cell, 0>},
    {CsvRole::Fax, &RowContact::phone<PhoneKind::Fax, 0>},
    {CsvRole::Email, &RowContact::email<1>},
    {CsvRole::OtherEmail, &RowContact::email<2>},
    {CsvRole::Note, &RowContact::note},
    {CsvRole::PhoneType, &RowContact::groupType<PhoneGroup>},
    {CsvRole::PhoneValue, &RowContact::groupValue<PhoneGroup>},
    {CsvRole::EmailType, &RowContact::groupType<EmailGroup>},
    {CsvRole::EmailValue, &RowContact::groupValue<EmailGroup>},
    {CsvRole::AddressType, &RowContact::groupType<AddressGroup>},
    {CsvRole::AddressFormatted, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressStreet, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressExtended, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressCity, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressRegion, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressPostalCode, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressCountry, &RowContact::groupValue<AddressGroup>},
    {CsvRole::AddressPoBox, &RowContact::groupValue<AddressGroup>},
    {CsvRole::OrganizationName, &RowContact::company},
};

// A role added to CsvRole needs its row here, in its place.
static_assert(std::size(kTakes) == static_cast<std::size_t>(CsvRole::OrganizationName) + 1);
static_assert([] {
    for (std::size_t i = 0; i < std::size(kTakes); ++i)
        if (kTakes[i].role != static_cast<CsvRole>(i)) return false;
    return true;
}());

void RowContact::take(const CsvCell& cell, const CsvColumn& column)
{
    (this->*kTakes[static_cast<std::size_t>(column.role)].take)(cell, column);
}

void RowContact::takeBeyondHeader(const CsvCell& cell)
{
    contact_.extras.push_back({cell.column, QStringLiteral("Column %1").arg(cell.column + 1), cell.value});
}

ContactData RowContact::finish()
{
    if (address_.order >= 0) contact_.addresses.push_back(std::move(address_));
    addGroups();
    return std::move(contact_);
}

void RowContact::company(const CsvCell& cell, const CsvColumn&)
{
    if (!contact_.company)
        contact_.company = cell.value;
    else
        toMemo(cell);
}

void RowContact::fullName(const CsvCell& cell, const CsvColumn&)
{
    if (contact_.formattedName) {
        toMemo(cell);
        return;
    }
    contact_.formattedName = cell.value;
    contact_.formattedNameOrder = cell.column;
}

void RowContact::note(const CsvCell& cell, const CsvColumn&)
{
    if (contact_.note.isEmpty())
        contact_.note = cell.value;
    else
        toMemo(cell);
}

// Several values in one cell, split by " ::: ", as a list. Google marks its
// own groups with "* ": the one every contact is in says nothing.
void RowContact::toList(const CsvCell& cell, const QString& label)
{
    QStringList values;
    for (QString value : cell.value.split(QStringLiteral(" ::: "))) {
        value = value.trimmed();
        if (value.compare(QLatin1String("* myContacts"), Qt::CaseInsensitive) == 0) {
            contact_.leftOut.push_back(QStringLiteral("Google's group of all contacts (* myContacts)"));
            continue;
        }
        if (value.startsWith(QLatin1String("* "))) value.remove(0, 2);
        if (!value.isEmpty()) values.append(value);
    }
    if (!values.isEmpty()) contact_.extras.push_back({cell.column, label, values.join(QLatin1Char(','))});
}

void RowContact::unknown(const CsvCell& cell, const CsvColumn&)
{
    if (!isPlaceholderValue(headers_[cell.column], cell.value)) toMemo(cell);
}

template <QString ContactData::*Part>
void RowContact::namePart(const CsvCell& cell, const CsvColumn&)
{
    contact_.*Part = cell.value;
    if (!namePartsSeen_) contact_.namePartsOrder = cell.column;
    namePartsSeen_ = true;
}

template <QString ContactAddress::*Part>
void RowContact::addressPart(const CsvCell& cell, const CsvColumn&)
{
    address_.*Part = cell.value;
    if (address_.order < 0) address_.order = cell.column;
}

template <PhoneKind Kind, int Slot>
void RowContact::phone(const CsvCell& cell, const CsvColumn&)
{
    ContactPhone phone;
    phone.order = cell.column;
    phone.slot = Slot;
    phone.kind = Kind;
    phone.label = headers_[cell.column];
    phone.number = cell.value;
    contact_.phones.push_back(std::move(phone));
}

template <int PrefRank>
void RowContact::email(const CsvCell& cell, const CsvColumn&)
{
    ContactEmail email;
    email.order = cell.column;
    email.prefRank = PrefRank;
    email.label = headers_[cell.column];
    email.address = cell.value;
    contact_.emails.push_back(std::move(email));
}

Group& RowContact::groupOf(GroupKind kind, const CsvCell& cell, const CsvColumn& column)
{
    Group& group = groups_[{kind, column.group}];
    if (group.values.empty() && group.type.isEmpty()) group.order = cell.column;
    return group;
}

template <GroupKind Kind>
void RowContact::groupType(const CsvCell& cell, const CsvColumn& column)
{
    groupOf(Kind, cell, column).type = cell.value;
}

template <GroupKind Kind>
void RowContact::groupValue(const CsvCell& cell, const CsvColumn& column)
{
    groupOf(Kind, cell, column).values.emplace_back(column.role, cell.value);
}

void RowContact::addGroups()
{
    for (const auto& [key, group] : groups_) {
        // A type with no value to go with it says nothing about the contact.
        if (group.values.empty()) continue;
        if (key.first == PhoneGroup)
            addPhones(group);
        else if (key.first == EmailGroup)
            addEmails(group);
        else
            addAddress(group);
    }
}

// Several values stand in one cell, split by " ::: ", and their types,
// where there is one for each, likewise; in lower case, as a vCard's types
// show in the memo.
std::vector<std::pair<QString, QString>> typedValues(const Group& group)
{
    const QStringList values = group.values.front().second.split(QStringLiteral(" ::: "));
    const QStringList types = group.type.split(QStringLiteral(" ::: "));
    std::vector<std::pair<QString, QString>> typed;
    for (qsizetype i = 0; i < values.size(); ++i)
        typed.emplace_back(values[i], (types.size() == values.size() ? types[i] : group.type).toLower());
    return typed;
}

void RowContact::addPhones(const Group& group)
{
    for (auto& [number, type] : typedValues(group)) {
        ContactPhone phone;
        phone.order = group.order;
        phone.prefRank = preferenceOf(type);
        phone.kind = phoneKindOf(type);
        phone.label = labelled("Phone", type);
        phone.number = number;
        contact_.phones.push_back(std::move(phone));
    }
}

void RowContact::addEmails(const Group& group)
{
    for (auto& [address, type] : typedValues(group)) {
        ContactEmail email;
        email.order = group.order;
        email.prefRank = preferenceOf(type);
        email.label = labelled("E-mail", type);
        email.address = address;
        contact_.emails.push_back(std::move(email));
    }
}

void RowContact::addAddress(const Group& group)
{
    QString type = group.type;
    ContactAddress address;
    address.order = group.order;
    address.prefRank = preferenceOf(type);
    address.work = type.toLower().contains(QLatin1String("work"));
    address.label = labelled("Address", type);
    QString formatted;
    for (const auto& [role, value] : group.values) {
        if (role == CsvRole::AddressFormatted) formatted = value;
        const auto part = std::find_if(kGroupAddressParts.begin(), kGroupAddressParts.end(),
                                       [role = role](const auto& entry) { return entry.first == role; });
        if (part != kGroupAddressParts.end()) address.*(part->second) = value;
    }
    // The formatted address repeats the parts; alone, it has no box.
    if (hasParts(address))
        contact_.addresses.push_back(std::move(address));
    else
        contact_.extras.push_back({group.order, address.label, formatted});
}

} // namespace

CsvContactReader::CsvContactReader(std::vector<CsvColumn> columns, const QStringList& headers)
    : columns_(std::move(columns)), headers_(memoLabelsOfColumns(headers))
{}

ContactData CsvContactReader::read(const std::vector<CsvCell>& cells)
{
    RowContact row(headers_);
    for (const CsvCell& cell : cells) {
        if (cell.column >= static_cast<int>(columns_.size()))
            row.takeBeyondHeader(cell);
        else
            row.take(cell, columns_[cell.column]);
    }
    return row.finish();
}

} // namespace kestrix
