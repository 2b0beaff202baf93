// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardMapping.h"

#include "PersonName.h"

#include <QStringList>
#include <QUuid>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace kestrix {

namespace {

constexpr std::array<QLatin1String, kFieldCount> kCaptions = {
    QLatin1String("COMPANY NAME"), QLatin1String("CONTACT NAME"), QLatin1String("ADDRESS"), QLatin1String("ADDRESS 2"),
    QLatin1String("CITY"),         QLatin1String("ST"),           QLatin1String("ZIP"),     QLatin1String("PHONE"),
    QLatin1String("PHONE 2"),      QLatin1String("CELL"),         QLatin1String("FAX"),     QLatin1String("eMAIL"),
    QLatin1String("MEMO"),         QLatin1String("Record"),
};

// Our own namespace for name-based UIDs; changing it would make every phone
// take the next export for new contacts.
const QUuid kUidNamespace(0x5b1e7c42, 0x9d0a, 0x4f63, 0x8a, 0x27, 0x3e, 0x94, 0xc1, 0x0d, 0x6b, 0x58);

template <typename Item>
using Pointers = QVarLengthArray<const Item*, 8>;

// The most preferred first, then in file order.
template <typename Item>
Pointers<Item> byPreference(const std::vector<Item>& items)
{
    Pointers<Item> sorted;
    for (const Item& item : items) sorted.append(&item);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) {
        return a->prefRank != b->prefRank ? a->prefRank < b->prefRank : a->order < b->order;
    });
    return sorted;
}

QString addressText(const ContactAddress& address)
{
    QStringList cityLine;
    for (const QString* part : {&address.locality, &address.region, &address.postalCode})
        if (!part->isEmpty()) cityLine.append(*part);
    QStringList parts;
    for (const QString& part :
         {address.poBox, address.street, address.extended, cityLine.join(QLatin1Char(' ')), address.country})
        if (!part.isEmpty()) parts.append(part);
    return parts.join(QStringLiteral(", "));
}

bool hasAny(const ContactAddress& address)
{
    return !(address.poBox.isEmpty() && address.extended.isEmpty() && address.street.isEmpty()
             && address.locality.isEmpty() && address.region.isEmpty() && address.postalCode.isEmpty()
             && address.country.isEmpty());
}

void fitPhones(const ContactData& contact, CardRecord& card, std::vector<MemoLine>& memo)
{
    Pointers<ContactPhone> used;
    const Pointers<ContactPhone> sorted = byPreference(contact.phones);
    auto place = [&](const ContactPhone* phone, Field field) {
        card[indexOf(field)] = phone->number;
        used.append(phone);
    };
    auto isUsed = [&](const ContactPhone* phone) { return std::find(used.begin(), used.end(), phone) != used.end(); };

    // A phone its writer meant for the first or second box goes there; the
    // rest fill what is left, the preferred first.
    const std::array<Field, 2> voiceBoxes = {Field::PHONE, Field::PHONE2};
    for (int slot = 1; slot <= 2; ++slot)
        for (const ContactPhone* phone : sorted)
            if (phone->kind == PhoneKind::Voice && phone->slot == slot && !phone->number.isEmpty()) {
                place(phone, voiceBoxes[slot - 1]);
                break;
            }
    for (Field box : voiceBoxes) {
        if (!card[indexOf(box)].isEmpty()) continue;
        for (const ContactPhone* phone : sorted)
            if (phone->kind == PhoneKind::Voice && phone->slot == 0 && !phone->number.isEmpty() && !isUsed(phone)) {
                place(phone, box);
                break;
            }
    }
    for (auto [kind, box] : {std::pair{PhoneKind::Cell, Field::CELL}, std::pair{PhoneKind::Fax, Field::FAX}})
        for (const ContactPhone* phone : sorted)
            if (phone->kind == kind && !phone->number.isEmpty()) {
                place(phone, box);
                break;
            }
    for (const ContactPhone& phone : contact.phones)
        if (!phone.number.isEmpty() && !isUsed(&phone)) memo.push_back({phone.order, phone.label, phone.number});
}

void fitAddress(const ContactData& contact, CardRecord& card, std::vector<MemoLine>& memo)
{
    Pointers<ContactAddress> candidates;
    for (const ContactAddress& address : contact.addresses)
        if (hasAny(address)) candidates.append(&address);
    if (candidates.empty()) return;
    // The one its writer meant for the boxes, else a work address before any
    // other, each the preferred first.
    std::stable_sort(candidates.begin(), candidates.end(), [](const ContactAddress* a, const ContactAddress* b) {
        const auto key = [](const ContactAddress* x) {
            return std::tuple(x->slot == 1 ? 0 : 1, x->work ? 0 : 1, x->prefRank, x->order);
        };
        return key(a) < key(b);
    });
    const ContactAddress& chosen = *candidates.front();
    card[indexOf(Field::ADDRESS1)] = chosen.street;
    card[indexOf(Field::ADDRESS2)] = chosen.extended;
    card[indexOf(Field::CITY)] = chosen.locality;
    card[indexOf(Field::ST)] = chosen.region;
    card[indexOf(Field::ZIP)] = chosen.postalCode;
    if (!chosen.poBox.isEmpty()) memo.push_back({chosen.order, QStringLiteral("PO box"), chosen.poBox});
    if (!chosen.country.isEmpty()) memo.push_back({chosen.order, QStringLiteral("Country"), chosen.country});
    for (auto at = candidates.begin() + 1; at != candidates.end(); ++at)
        memo.push_back({(*at)->order, (*at)->label, addressText(**at)});
}

// Whether a card read names no one: an individual's, with neither company
// nor name parts, whose full name is the stand-in the export writes for
// such a card. The stand-in repeats a box or says nothing, so nothing is
// lost. Only when an N was given, empty: a vCard 4.0 without one names its
// contact in its full name alone.
bool namesNoOne(const ContactData& contact, bool individual, const PersonName& parts, const CardRecord& card)
{
    return individual && contact.hasNameParts && parts.isEmpty() && contact.company.value_or(QString()).isEmpty()
        && *contact.formattedName == nameStandIn(card);
}

// The company, and the contact: its full name, else its name parts. Name
// parts the full name does not give back, and a kind the boxes do not say,
// go to the memo. Called once the other boxes are filled.
void fitNames(const ContactData& contact, CardRecord& card, std::vector<MemoLine>& memo)
{
    const QString company = contact.company.value_or(QString());
    card[indexOf(Field::CNAME)] = company;
    const PersonName parts{contact.family, contact.given, contact.additional, contact.prefix, contact.suffix};
    const bool hasFullName = contact.formattedName && !contact.formattedName->isEmpty();
    const QString kind = contact.kind ? contact.kind->value.trimmed() : QString();
    const bool organisation = kind.compare(QLatin1String("org"), Qt::CaseInsensitive) == 0
        || kind.compare(QLatin1String("organization"), Qt::CaseInsensitive) == 0
        || kind.compare(QLatin1String("company"), Qt::CaseInsensitive) == 0;
    const bool individual = kind.isEmpty() || kind.compare(QLatin1String("individual"), Qt::CaseInsensitive) == 0;
    // An organisation's card names the company as its full name; it has
    // no contact person, and its kind says nothing the boxes do not.
    const bool companyNamed = organisation && hasFullName && *contact.formattedName == company;
    if (!individual && !companyNamed) memo.push_back(*contact.kind);
    if (!hasFullName) {
        card[indexOf(Field::CCNAME)] =
            joinedName({parts.prefix, parts.given, parts.additional, parts.family, parts.suffix});
        return;
    }
    const QString& fullName = *contact.formattedName;
    if (!companyNamed && !namesNoOne(contact, individual, parts, card)) card[indexOf(Field::CCNAME)] = fullName;
    switch (keptName(parts, fullName)) {
    case KeptName::Nothing:
        break;
    case KeptName::Parts:
        // Last, where the export looks for it to write the parts back.
        memo.push_back({std::numeric_limits<int>::max(), kNamePartsLabel, namePartsText(parts)});
        break;
    case KeptName::Words:
        memo.push_back({contact.namePartsOrder, QStringLiteral("Name"),
                        joinedName({parts.prefix, parts.given, parts.additional, parts.family, parts.suffix})});
        break;
    }
}

void fitEmail(const ContactData& contact, CardRecord& card, std::vector<MemoLine>& memo)
{
    bool emailPlaced = false;
    for (const ContactEmail* email : byPreference(contact.emails)) {
        if (email->address.isEmpty()) continue;
        if (!emailPlaced) {
            card[indexOf(Field::email)] = email->address;
            emailPlaced = true;
        } else {
            memo.push_back({email->order, email->label, email->address});
        }
    }
}

// The note, then a "Label: value" line for each of `memo`. True when a
// label was cut to kLongestLabel.
bool fitMemo(const QString& note, const std::vector<MemoLine>& memo, QString& memoText)
{
    memoText = note;
    bool labelCut = false;
    for (const MemoLine& line : memo) {
        if (line.value.isEmpty()) continue;
        if (!memoText.isEmpty()) memoText += QLatin1Char('\n');
        const QString label = shortLabel(line.label);
        labelCut = labelCut || label.size() != line.label.size();
        memoText += label + QStringLiteral(": ") + line.value;
    }
    return labelCut;
}

void replaceDoubleQuotes(CardRecord& card, std::vector<QString>& issues)
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (!card[i].contains(QLatin1Char('"'))) continue;
        card[i].replace(QLatin1Char('"'), QChar(0x201D));
        issues.push_back(QStringLiteral("a double quote in %1 is stored as \u201D, as the card file cannot hold it")
                             .arg(kCaptions[i]));
    }
}

} // namespace

QLatin1String fieldCaption(Field field)
{
    return kCaptions[indexOf(field)];
}

QString joinedName(const QStringList& parts)
{
    QStringList words;
    for (const QString& part : parts) {
        const QString word = part.trimmed();
        if (!word.isEmpty()) words.append(word);
    }
    return words.join(QLatin1Char(' '));
}

MappedCard mapContact(const ContactData& contact)
{
    MappedCard mapped;
    CardRecord& card = mapped.card;
    std::vector<MemoLine> memo = contact.extras;
    fitPhones(contact, card, memo);
    fitEmail(contact, card, memo);
    fitAddress(contact, card, memo);
    fitNames(contact, card, memo);
    // Back in file order, as the memo lists them; the name parts last.
    std::stable_sort(memo.begin(), memo.end(), [](const MemoLine& a, const MemoLine& b) { return a.order < b.order; });
    if (fitMemo(contact.note, memo, card[indexOf(Field::MEMO)]))
        mapped.issues.push_back(QStringLiteral("a label in the memo cut to %1 characters").arg(kLongestLabel));
    mapped.empty = std::all_of(card.begin(), card.end(), [](const QString& field) { return field.isEmpty(); });
    replaceDoubleQuotes(card, mapped.issues);
    return mapped;
}

QString shortLabel(const QString& label)
{
    if (label.size() <= kLongestLabel) return label;
    qsizetype keep = kLongestLabel - 1;
    if (label[keep - 1].isHighSurrogate()) --keep; // not half a character
    return label.first(keep) + QChar(0x2026);
}

QString exportUid(const CardRecord& card)
{
    // The number's length first, so no two pairs of texts give the same bytes.
    const QByteArray number = card[indexOf(Field::RecordNumber)].toUtf8();
    const QByteArray name = QByteArray::number(number.size()) + ':' + number + card[indexOf(Field::CCNAME)].toUtf8();
    return QUuid::createUuidV5(kUidNamespace, name).toString(QUuid::WithoutBraces);
}

} // namespace kestrix
