// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvReader.h"

#include "CardMapping.h"
#include "ContactData.h"
#include "CsvColumns.h"
#include "InputBytes.h"
#include "storage/TextEncoding.h"

#include <QStringDecoder>
#include <QStringList>

#include <map>

namespace kestrix {

namespace {

// Splits CSV bytes into rows of fields. Rows end in CR LF, LF or a lone CR;
// inside quotes a CR LF or LF is a line feed of the field's text, and a
// lone CR stays a CR.
class CsvRows {
public:
    CsvRows(QByteArrayView bytes, char separator) : bytes_(bytes), separator_(separator) {}

    // False at the end. `unterminated`: the input ended inside quotes.
    bool next(std::vector<QByteArray>& fields, bool& unterminated)
    {
        fields.clear();
        unterminated = false;
        if (at_ >= bytes_.size()) return false;
        const char* data = bytes_.data();
        const qsizetype size = bytes_.size();
        for (;;) {
            QByteArray field;
            if (at_ < size && data[at_] == '"') {
                ++at_;
                qsizetype start = at_;
                for (;;) {
                    if (at_ >= size) {
                        field.append(data + start, at_ - start);
                        unterminated = true;
                        break;
                    }
                    const char c = data[at_];
                    if (c == '"') {
                        field.append(data + start, at_ - start);
                        if (at_ + 1 < size && data[at_ + 1] == '"') {
                            field.append('"');
                            at_ += 2;
                            start = at_;
                            continue;
                        }
                        ++at_;
                        break;
                    }
                    if (c == '\r' && at_ + 1 < size && data[at_ + 1] == '\n') {
                        field.append(data + start, at_ - start);
                        ++at_; // the LF that follows is taken as it stands
                        start = at_;
                        continue;
                    }
                    ++at_;
                }
                // Anything between the closing quote and the separator is
                // kept, as a lenient reader should.
                const qsizetype rest = at_;
                while (at_ < size && data[at_] != separator_ && data[at_] != '\n' && data[at_] != '\r') ++at_;
                field.append(data + rest, at_ - rest);
            } else {
                const qsizetype start = at_;
                while (at_ < size && data[at_] != separator_ && data[at_] != '\n' && data[at_] != '\r') ++at_;
                field = QByteArray::fromRawData(data + start, at_ - start);
            }
            fields.push_back(std::move(field));
            if (at_ < size && data[at_] == separator_) {
                ++at_;
                continue;
            }
            if (at_ < size && data[at_] == '\r') ++at_;
            if (at_ < size && data[at_] == '\n') ++at_;
            return true;
        }
    }

private:
    QByteArrayView bytes_;
    char separator_;
    qsizetype at_ = 0;
};

QString decodeField(const QByteArray& bytes, bool utf8)
{
    if (!utf8) return decodeWindows1252(bytes);
    // The file's byte order mark is gone; one at the start of a field is the
    // field's text, which fromUtf8 would drop.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

int knownColumns(const std::vector<QByteArray>& header, bool utf8)
{
    int known = 0;
    for (const QByteArray& name : header)
        if (csvColumnFor(decodeField(name, utf8)).role != CsvRole::Unknown) ++known;
    return known;
}

// Of the separators that split the header into known columns, the one that
// finds the most; commas when it is a tie.
std::optional<char> separatorOf(QByteArrayView bytes, bool utf8)
{
    std::optional<char> best;
    int bestKnown = 0;
    std::vector<QByteArray> header;
    bool unterminated = false;
    for (char separator : {',', ';', '\t'}) {
        CsvRows rows(bytes, separator);
        if (!rows.next(header, unterminated)) return std::nullopt;
        const int known = knownColumns(header, utf8);
        if (known > bestKnown) {
            best = separator;
            bestKnown = known;
        }
    }
    return best;
}

struct Group {
    QString type;
    std::vector<std::pair<CsvRole, QString>> values; // with the column each came from
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

class RowReader {
public:
    RowReader(const std::vector<CsvColumn>& columns, const QStringList& headers) : columns_(columns), headers_(headers)
    {}

    ContactData read(const QStringList& cells);

private:
    void addGroups(ContactData& contact);

    const std::vector<CsvColumn>& columns_;
    const QStringList& headers_;
    std::map<std::pair<int, int>, Group> groups_; // by kind (phone 0, e-mail 1, address 2) and number
};

ContactData RowReader::read(const QStringList& cells)
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

    for (int column = 0; column < cells.size(); ++column) {
        const QString& value = cells[column];
        if (value.isEmpty()) continue;
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

void RowReader::addGroups(ContactData& contact)
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

} // namespace

std::optional<char> csvSeparatorOf(QByteArrayView input)
{
    QByteArray converted;
    const QByteArrayView bytes = asEightBitText(input, converted);
    return separatorOf(bytes, bytes.isValidUtf8());
}

ImportResult readCsv(QByteArrayView input)
{
    ImportResult result;
    QByteArray converted;
    const QByteArrayView bytes = asEightBitText(input, converted);
    const bool utf8 = bytes.isValidUtf8();
    const std::optional<char> separator = separatorOf(bytes, utf8);
    if (!separator) {
        result.reason = bytes.trimmed().isEmpty() ? QStringLiteral("is empty")
                                                  : QStringLiteral("its first line names no contact columns");
        return result;
    }
    result.recognised = true;
    result.kind = ContentKind::Csv;

    CsvRows rows(bytes, *separator);
    std::vector<QByteArray> fields;
    bool unterminated = false;
    rows.next(fields, unterminated);
    QStringList headers;
    std::vector<CsvColumn> columns;
    for (const QByteArray& field : fields) {
        headers.append(decodeField(field, utf8).trimmed());
        columns.push_back(csvColumnFor(headers.back()));
    }
    RowReader reader(columns, headers);
    QStringList cells;
    qsizetype position = 0;
    while (rows.next(fields, unterminated)) {
        ++position;
        cells.clear();
        bool blank = true;
        for (const QByteArray& field : fields) {
            cells.append(decodeField(field, utf8));
            if (!field.isEmpty()) blank = false;
        }
        if (blank) continue;
        MappedCard mapped = mapContact(reader.read(cells));
        std::vector<QString> issues;
        if (unterminated) issues.push_back(QStringLiteral("the file ends inside a quoted field of this row"));
        issues.insert(issues.end(), mapped.issues.begin(), mapped.issues.end());
        const QString& contactName = mapped.card[indexOf(Field::CCNAME)];
        const QString name = contactName.isEmpty() ? mapped.card[indexOf(Field::CNAME)] : contactName;
        if (mapped.empty)
            issues.push_back(QStringLiteral("holds no contact data: not imported"));
        else
            result.cards.push_back(std::move(mapped.card));
        for (QString& reason : issues) result.issues.push_back({position, name, std::move(reason)});
    }
    return result;
}

} // namespace kestrix
