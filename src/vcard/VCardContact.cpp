// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardContact.h"

#include "VendorProperties.h"

#include <QHash>
#include <QSet>
#include <QVarLengthArray>

#include <algorithm>

namespace kestrix::vcard {

namespace {

bool startsWithNoCase(QStringView text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

// Whether a group's label is one an address book built in, marked so
// ("_$!<Mobile>!$_"), rather than one the user typed.
bool isBuiltInLabel(QStringView label)
{
    return label.size() > 8 && label.startsWith(u"_$!<") && label.endsWith(u">!$_");
}

// What Apple's built-in labels say a number is, as its types would, with
// the memo label those types give.
struct BuiltInPhoneLabel {
    const char16_t* name;
    PhoneKind kind;
    const char* label;
};
constexpr BuiltInPhoneLabel kBuiltInPhoneLabels[] = {
    {u"Mobile", PhoneKind::Cell, "Phone (cell)"},      {u"iPhone", PhoneKind::Cell, "Phone (cell)"},
    {u"HomeFAX", PhoneKind::Fax, "Phone (home, fax)"}, {u"WorkFAX", PhoneKind::Fax, "Phone (work, fax)"},
    {u"OtherFAX", PhoneKind::Fax, "Phone (fax)"},      {u"Home", PhoneKind::Other, "Phone (home)"},
    {u"Pager", PhoneKind::Other, "Phone (pager)"},     {u"Work", PhoneKind::Voice, "Phone (work)"},
    {u"Main", PhoneKind::Voice, "Phone (main)"},       {u"Other", PhoneKind::Voice, "Phone"},
};

// A property's value, decoded but not yet unescaped, as the steps that take
// it into the contact see it.
struct PropertyValue {
    const PropertyHead& head;
    const QString& label; // the group's label, or else the head's own
    bool builtInLabel;    // the group's label is one an address book built in
    const QString& raw;
    Unescaper& unescape;
    int order;
};

class CardReader {
public:
    CardReader(Version version, HeadCache& heads, std::vector<QString>& issues, QStringList& notUtf8)
        : version_(version), heads_(heads), issues_(issues), notUtf8_(notUtf8)
    {}

    ContactData read(QByteArrayView lines);

private:
    void take(const VCardProperty& property, int order);
    // False when the value has no box, or its box is taken: it goes to the memo.
    bool takeIntoBox(const PropertyValue& value);
    bool takeFullName(const PropertyValue& value);
    bool takeName(const PropertyValue& value);
    bool takeOrganization(const PropertyValue& value);
    void takeAddress(const PropertyValue& value);
    void takePhone(const PropertyValue& value);
    void takeEmail(const PropertyValue& value);
    bool takeNote(const PropertyValue& value);
    void takeAndroidRow(const PropertyValue& value);
    const QString& labelFor(const VCardProperty& property, const PropertyHead& head) const;
    void noteNotUtf8(const QString& name)
    {
        if (!notUtf8Seen_.contains(name)) {
            notUtf8Seen_.insert(name);
            notUtf8_.append(name);
        }
    }

    Version version_;
    HeadCache& heads_;
    std::vector<QString>& issues_;
    std::vector<QString> found_; // what taking the properties finds, told after the lines skipped
    QStringList& notUtf8_;
    QSet<QString> notUtf8Seen_;
    ContactData contact_;
    QHash<QByteArray, QString> groupLabels_; // by the group's name in lower case
    QSet<QByteArray> builtInLabels_;         // the groups whose label an address book built in
    bool hasName_ = false, hasNameParts_ = false, hasCompany_ = false, hasNote_ = false;
};

// Whether the line's name has a group before it ("item1.TEL"): the name
// ends at the first semicolon or colon.
bool hasGroup(QByteArrayView line)
{
    for (char c : line) {
        if (c == '.') return true;
        if (c == ';' || c == ':') return false;
    }
    return false;
}

// Calls `each` with every content line of `lines` that `wanted` and that is
// a property. Returns how many lines are no property.
template <typename Wanted, typename Each>
int forEachProperty(QByteArrayView lines, Wanted wanted, Each each)
{
    int skipped = 0;
    VCardProperty property;
    while (!lines.isEmpty()) {
        const qsizetype lineFeed = lines.indexOf('\n');
        const QByteArrayView line = lineFeed < 0 ? lines : lines.first(lineFeed);
        lines = lineFeed < 0 ? QByteArrayView() : lines.sliced(lineFeed + 1);
        if (line.isEmpty() || !wanted(line)) continue;
        if (parseContentLine(line, property))
            each(property);
        else
            ++skipped;
    }
    return skipped;
}

// The lines are parsed twice, the grouped ones for their labels first,
// rather than kept parsed: a card of many short properties would take many
// times its size.
ContactData CardReader::read(QByteArrayView lines)
{
    // A group's first label that says something names it.
    forEachProperty(lines, hasGroup, [this](const VCardProperty& labelled) {
        if (!labelled.is("X-ABLABEL")) return;
        const QByteArray group = labelled.group.toByteArray().toLower();
        if (groupLabels_.contains(group)) return;
        const PropertyHead& head = heads_.of(labelled);
        bool notUtf8 = false;
        QString label = decodeValue(labelled.value, head, notUtf8);
        if (notUtf8) noteNotUtf8(head.upperName);
        if (isBuiltInLabel(label)) {
            label = label.mid(4, label.size() - 8);
            builtInLabels_.insert(group);
        }
        if (!label.isEmpty()) groupLabels_.emplace(group, std::move(label));
    });
    int order = 0;
    const int skippedLines = forEachProperty(
        lines, [](QByteArrayView) { return true; },
        [this, &order](const VCardProperty& property) { take(property, order++); });
    if (skippedLines > 0)
        issues_.push_back(QStringLiteral("%1 line(s) that are no vCard property skipped").arg(skippedLines));
    issues_.insert(issues_.end(), found_.begin(), found_.end());
    return std::move(contact_);
}

// The group's label where the address book gave one; else the property's
// readable name with its types.
const QString& CardReader::labelFor(const VCardProperty& property, const PropertyHead& head) const
{
    if (!property.group.isEmpty() && !groupLabels_.isEmpty()) {
        // Lowered in place: a card of many grouped properties makes no copy of each.
        QVarLengthArray<char, 32> lower(property.group.begin(), property.group.end());
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        const auto found = groupLabels_.constFind(QByteArray::fromRawData(lower.constData(), lower.size()));
        if (found != groupLabels_.constEnd()) return *found;
    }
    return head.label;
}

void CardReader::take(const VCardProperty& property, int order)
{
    const PropertyHead& head = heads_.of(property);
    if (head.kind == PropertyKind::Structural) return;
    if (head.kind == PropertyKind::GroupLabel && !property.group.isEmpty()) return;
    if (const std::optional<QString> why = leftOutBecause(property)) {
        if (std::find(contact_.leftOut.begin(), contact_.leftOut.end(), *why) == contact_.leftOut.end())
            contact_.leftOut.push_back(*why);
        return;
    }
    if (isBinaryValue(head, property.value)) {
        found_.push_back(QStringLiteral("%1 not imported: binary data").arg(head.upperName));
        return;
    }

    bool notUtf8 = false;
    const QString raw = decodeValue(property.value, head, notUtf8);
    if (notUtf8) noteNotUtf8(head.upperName);
    Unescaper unescape(version_, head.carriageReturns);
    const bool builtIn = !builtInLabels_.isEmpty() && builtInLabels_.contains(property.group.toByteArray().toLower());
    const PropertyValue value{head, labelFor(property, head), builtIn, raw, unescape, order};
    if (takeIntoBox(value)) return;
    if (property.is("X-ANDROID-CUSTOM")) {
        takeAndroidRow(value);
        return;
    }
    QString text = unescape.text(raw);
    // A date shows as a date, and one given without its year stays so.
    if (head.memoValue == MemoValue::Date) text = memoDate(text, head.omittedYear);
    contact_.extras.push_back({order, value.label, std::move(text)});
}

bool CardReader::takeIntoBox(const PropertyValue& value)
{
    switch (value.head.kind) {
    case PropertyKind::FullName:
        return takeFullName(value);
    case PropertyKind::Name:
        return takeName(value);
    case PropertyKind::Organization:
        return takeOrganization(value);
    case PropertyKind::Address:
        takeAddress(value);
        return true;
    case PropertyKind::Phone:
        takePhone(value);
        return true;
    case PropertyKind::Email:
        takeEmail(value);
        return true;
    case PropertyKind::Note:
        return takeNote(value);
    case PropertyKind::Kind:
        contact_.kind = MemoLine{value.order, value.label, value.unescape.text(value.raw)};
        return true;
    default:
        return false;
    }
}

bool CardReader::takeFullName(const PropertyValue& value)
{
    if (hasName_) return false;
    hasName_ = true;
    contact_.formattedName = value.unescape.text(value.raw);
    contact_.formattedNameOrder = value.order;
    return true;
}

bool CardReader::takeName(const PropertyValue& value)
{
    if (hasNameParts_) return false;
    hasNameParts_ = true;
    const QStringList parts = value.unescape.components(value.raw, 5);
    contact_.family = parts[0];
    contact_.given = parts[1];
    contact_.additional = parts[2];
    contact_.prefix = parts[3];
    contact_.suffix = parts[4];
    contact_.namePartsOrder = value.order;
    contact_.hasNameParts = true;
    return true;
}

bool CardReader::takeOrganization(const PropertyValue& value)
{
    if (hasCompany_) return false;
    hasCompany_ = true;
    // Only the organisation's name has a box; its units go to the memo.
    const QStringList units = value.unescape.components(value.raw);
    contact_.company = units.front();
    QStringList rest;
    for (qsizetype i = 1; i < units.size(); ++i)
        if (!units[i].isEmpty()) rest.append(units[i]);
    if (!rest.isEmpty())
        contact_.extras.push_back({value.order, QStringLiteral("Department"), rest.join(QStringLiteral(", "))});
    return true;
}

void CardReader::takeAddress(const PropertyValue& value)
{
    const QStringList parts = value.unescape.components(value.raw, 7);
    ContactAddress address;
    address.order = value.order;
    address.prefRank = value.head.prefRank;
    address.label = value.label;
    address.work = value.head.typeBits & Work;
    address.poBox = parts[0];
    address.extended = parts[1];
    address.street = parts[2];
    address.locality = parts[3];
    address.region = parts[4];
    address.postalCode = parts[5];
    address.country = parts[6];
    contact_.addresses.push_back(std::move(address));
}

void CardReader::takePhone(const PropertyValue& value)
{
    const PropertyHead& head = value.head;
    ContactPhone phone;
    phone.order = value.order;
    phone.prefRank = head.prefRank;
    phone.label = value.label;
    phone.number = value.unescape.text(value.raw);
    // 4.0 writes numbers as tel: URIs; a text that only looks like one
    // says VALUE=text.
    const bool uri = head.valueUri || (version_ == Version::V40 && !head.valueText);
    if (uri && startsWithNoCase(phone.number, QLatin1String("tel:"))) phone.number.remove(0, 4);
    const unsigned bits = head.typeBits;
    if (bits & Fax)
        phone.kind = PhoneKind::Fax;
    else if (bits & Cell)
        phone.kind = PhoneKind::Cell;
    else if ((bits & SpecialPhone) || ((bits & Home) && !(bits & Work)))
        phone.kind = PhoneKind::Other;
    // A built-in label says what the types did not.
    if (value.builtInLabel && !(bits & (Fax | Cell | Home | SpecialPhone))) {
        for (const BuiltInPhoneLabel& row : kBuiltInPhoneLabels)
            if (value.label == QStringView(row.name)) {
                phone.kind = row.kind;
                phone.label = QLatin1String(row.label);
            }
    }
    // A label naming one of the boxes puts the number there.
    if (&value.label != &head.label) {
        if (value.label.compare(QLatin1String("PHONE 2"), Qt::CaseInsensitive) == 0) phone.slot = 2;
        if (value.label.compare(QLatin1String("PHONE"), Qt::CaseInsensitive) == 0) phone.slot = 1;
    }
    contact_.phones.push_back(std::move(phone));
}

void CardReader::takeEmail(const PropertyValue& value)
{
    ContactEmail email;
    email.order = value.order;
    email.prefRank = value.head.prefRank;
    email.label = value.label;
    email.address = value.unescape.text(value.raw);
    contact_.emails.push_back(std::move(email));
}

// A row whose meaning is known becomes words; any other is kept without
// the empty columns Android pads every row with.
void CardReader::takeAndroidRow(const PropertyValue& value)
{
    QStringList components = value.unescape.components(value.raw);
    if (std::optional<MemoLine> row = androidRow(components, value.order)) {
        contact_.extras.push_back(std::move(*row));
        return;
    }
    while (components.size() > 1 && components.back().isEmpty()) components.removeLast();
    contact_.extras.push_back({value.order, value.label, components.join(QLatin1Char(';'))});
}

bool CardReader::takeNote(const PropertyValue& value)
{
    if (hasNote_) return false;
    hasNote_ = true;
    contact_.note = value.unescape.text(value.raw);
    return true;
}

} // namespace

ContactData readContact(Version version, QByteArrayView lines, HeadCache& heads, std::vector<QString>& issues,
                        QStringList& notUtf8)
{
    return CardReader(version, heads, issues, notUtf8).read(lines);
}

} // namespace kestrix::vcard
