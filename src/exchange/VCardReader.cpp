// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardReader.h"

#include "CardMapping.h"
#include "ContactData.h"
#include "InputBytes.h"
#include "VCardLines.h"
#include "storage/TextEncoding.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace kestrix {

namespace {

enum class Version { V21, V30, V40 };

// The TYPE values the mapping looks at.
enum TypeBit : unsigned {
    Work = 1u << 0,
    Home = 1u << 1,
    Cell = 1u << 2,
    Fax = 1u << 3,
    Pref = 1u << 4,
    SpecialPhone = 1u << 5, // pager, car, video and the like: no box of their own
};

bool equalsNoCase(QByteArrayView a, const char* b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isUtf8Name(QByteArrayView charset)
{
    return equalsNoCase(charset, "UTF-8") || equalsNoCase(charset, "UTF8");
}

bool startsWithNoCase(QStringView text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

enum class PropertyKind {
    Structural,
    GroupLabel,
    FullName,
    Name,
    Organization,
    Address,
    Phone,
    Email,
    Note,
    Kind,
    Other
};

// What a property's name and parameters say. Cards written by one program
// repeat the same few, so the reader works each out once (see HeadCache).
struct PropertyHead {
    PropertyKind kind = PropertyKind::Other;
    unsigned typeBits = 0;
    int prefRank = kNoPreference;
    bool quotedPrintable = false;
    bool binary = false;
    bool takesUri = false;  // a photo, logo, sound or key: may be a data: URI
    bool valueUri = false;  // VALUE=uri
    bool valueText = false; // VALUE=text
    // For a CHARSET other than UTF-8 that the toolkit knows; made once, as
    // the toolkit looks the name up anew for each.
    std::shared_ptr<QStringDecoder> decoder;
    QVarLengthArray<int, 4> carriageReturns; // which line breaks stand for a lone CR, from 1
    QString label;                           // the memo's label, as in "Phone (home, fax)"
    QString upperName;                       // the name as a report gives it
};

struct KnownProperty {
    const char* name;
    PropertyKind kind;
    const char* label;
};

// Properties the mapping looks at, and readable names for the memo lines of
// the others. BEGIN, END, VERSION, PRODID, REV, UID and CLIENTPIDMAP say
// nothing about the contact: where the card starts and ends, who wrote it
// when, and its identity for synchronisation.
constexpr KnownProperty kKnown[] = {
    {"BEGIN", PropertyKind::Structural, ""},
    {"END", PropertyKind::Structural, ""},
    {"VERSION", PropertyKind::Structural, ""},
    {"PRODID", PropertyKind::Structural, ""},
    {"REV", PropertyKind::Structural, ""},
    {"UID", PropertyKind::Structural, ""},
    {"CLIENTPIDMAP", PropertyKind::Structural, ""},
    {"X-ABLABEL", PropertyKind::GroupLabel, "Label"},
    {"FN", PropertyKind::FullName, "Name"},
    {"N", PropertyKind::Name, "Name"},
    {"ORG", PropertyKind::Organization, "Organization"},
    {"ADR", PropertyKind::Address, "Address"},
    {"TEL", PropertyKind::Phone, "Phone"},
    {"EMAIL", PropertyKind::Email, "E-mail"},
    {"NOTE", PropertyKind::Note, "Note"},
    {"KIND", PropertyKind::Kind, "Kind"},
    {"X-ABSHOWAS", PropertyKind::Kind, "X-ABShowAs"},
    {"TITLE", PropertyKind::Other, "Title"},
    {"ROLE", PropertyKind::Other, "Role"},
    {"URL", PropertyKind::Other, "Web"},
    {"BDAY", PropertyKind::Other, "Birthday"},
    {"ANNIVERSARY", PropertyKind::Other, "Anniversary"},
    {"NICKNAME", PropertyKind::Other, "Nickname"},
    {"CATEGORIES", PropertyKind::Other, "Categories"},
    {"GEO", PropertyKind::Other, "Geo"},
    {"TZ", PropertyKind::Other, "Time zone"},
    {"IMPP", PropertyKind::Other, "Chat"},
    {"LANG", PropertyKind::Other, "Language"},
    {"GENDER", PropertyKind::Other, "Gender"},
    {"RELATED", PropertyKind::Other, "Related"},
    {"MEMBER", PropertyKind::Other, "Member"},
    {"LABEL", PropertyKind::Other, "Address label"},
    {"MAILER", PropertyKind::Other, "Mailer"},
    {"SORT-STRING", PropertyKind::Other, "Sort as"},
    {"PHOTO", PropertyKind::Other, "Photo"},
    {"LOGO", PropertyKind::Other, "Logo"},
    {"SOUND", PropertyKind::Other, "Sound"},
    {"KEY", PropertyKind::Other, "Key"},
    {"FBURL", PropertyKind::Other, "Free/busy"},
    {"CALURI", PropertyKind::Other, "Calendar"},
    {"CALADRURI", PropertyKind::Other, "Calendar request"},
    {"SOURCE", PropertyKind::Other, "Source"},
    {"AGENT", PropertyKind::Other, "Agent"},
    {"CLASS", PropertyKind::Other, "Class"},
};

void addType(PropertyHead& head, QByteArrayView type, QStringList& qualifiers)
{
    type = type.trimmed();
    if (type.isEmpty()) return;
    static constexpr std::pair<const char*, unsigned> kBits[] = {
        {"work", Work},          {"home", Home},
        {"cell", Cell},          {"mobile", Cell},
        {"iphone", Cell},        {"fax", Fax},
        {"pref", Pref},          {"pager", SpecialPhone},
        {"car", SpecialPhone},   {"video", SpecialPhone},
        {"isdn", SpecialPhone},  {"bbs", SpecialPhone},
        {"modem", SpecialPhone}, {"textphone", SpecialPhone},
    };
    for (auto [name, bit] : kBits)
        if (equalsNoCase(type, name)) {
            head.typeBits |= bit;
            if (bit == Pref) head.prefRank = std::min(head.prefRank, 1);
            break;
        }
    // Types that say nothing a reader of the memo would miss.
    for (const char* quiet : {"pref", "internet", "voice", "x400"})
        if (equalsNoCase(type, quiet)) return;
    qualifiers.append(QString::fromUtf8(type).toLower());
}

PropertyHead headOf(const VCardProperty& property)
{
    PropertyHead head;
    QString label = QString::fromUtf8(property.name);
    head.upperName = label.toUpper();
    for (const KnownProperty& known : kKnown)
        if (property.is(known.name)) {
            head.kind = known.kind;
            label = QLatin1String(known.label);
            head.takesUri = known.kind == PropertyKind::Other
                && (property.is("PHOTO") || property.is("LOGO") || property.is("SOUND") || property.is("KEY"));
            break;
        }
    QStringList qualifiers;
    for (const VCardParameter& parameter : property.parameters) {
        const QByteArrayView value = parameter.value;
        if (parameter.name.isEmpty()) {
            // 2.1 names types and the encoding by their value alone.
            if (equalsNoCase(value, "QUOTED-PRINTABLE"))
                head.quotedPrintable = true;
            else if (equalsNoCase(value, "BASE64") || equalsNoCase(value, "B"))
                head.binary = true;
            else if (!equalsNoCase(value, "8BIT") && !equalsNoCase(value, "7BIT"))
                addType(head, value, qualifiers);
        } else if (equalsNoCase(parameter.name, "TYPE")) {
            qsizetype start = 0;
            for (qsizetype comma; (comma = value.sliced(start).indexOf(',')) >= 0; start += comma + 1)
                addType(head, value.sliced(start, comma), qualifiers);
            addType(head, value.sliced(start), qualifiers);
        } else if (equalsNoCase(parameter.name, "ENCODING")) {
            if (equalsNoCase(value, "QUOTED-PRINTABLE")) head.quotedPrintable = true;
            if (equalsNoCase(value, "B") || equalsNoCase(value, "BASE64")) head.binary = true;
        } else if (equalsNoCase(parameter.name, "CHARSET")) {
            if (!isUtf8Name(value)) {
                auto decoder =
                    std::make_shared<QStringDecoder>(value.toByteArray().constData(), QStringDecoder::Flag::Stateless);
                head.decoder = decoder->isValid() ? decoder : nullptr;
            }
        } else if (equalsNoCase(parameter.name, "PREF")) {
            bool ok = false;
            const int rank = value.toInt(&ok);
            if (ok) head.prefRank = std::min(head.prefRank, std::clamp(rank, 1, 100));
        } else if (equalsNoCase(parameter.name, "VALUE")) {
            head.valueUri = equalsNoCase(value, "uri");
            head.valueText = equalsNoCase(value, "text");
        } else if (equalsNoCase(parameter.name, "X-KESTRIX-CR")) {
            qsizetype start = 0;
            for (;;) {
                const qsizetype comma = value.sliced(start).indexOf(',');
                const int ordinal = value.sliced(start, comma < 0 ? value.size() - start : comma).toInt();
                if (ordinal > 0) head.carriageReturns.append(ordinal);
                if (comma < 0) break;
                start += comma + 1;
            }
        }
    }
    if (!qualifiers.isEmpty()) label += QStringLiteral(" (") + qualifiers.join(QStringLiteral(", ")) + QLatin1Char(')');
    head.label = label;
    return head;
}

// The heads met so far, by their bytes (name and parameters). Bounded, so
// a file of ever-new parameters cannot grow it without end.
class HeadCache {
public:
    const PropertyHead& of(const VCardProperty& property)
    {
        const char* start = property.name.data();
        const QByteArray key = QByteArray::fromRawData(start, property.value.data() - 1 - start);
        auto found = heads_.constFind(key);
        if (found != heads_.constEnd()) return *found;
        if (heads_.size() >= 256) heads_.clear();
        return *heads_.insert(QByteArray(key.constData(), key.size()), headOf(property));
    }

private:
    QHash<QByteArray, PropertyHead> heads_;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Soft line breaks are already gone with the unfolding, but for one that
// ends the value; any other "=" not followed by two hex digits is kept as it
// stands.
QByteArray decodeQuotedPrintable(QByteArrayView encoded)
{
    QByteArray bytes;
    bytes.reserve(encoded.size());
    if (encoded.endsWith('=')) encoded.chop(1);
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '=' && i + 2 < encoded.size() && hexDigit(encoded[i + 1]) >= 0
            && hexDigit(encoded[i + 2]) >= 0) {
            bytes.append(static_cast<char>(hexDigit(encoded[i + 1]) * 16 + hexDigit(encoded[i + 2])));
            i += 2;
        } else {
            bytes.append(encoded[i]);
        }
    }
    return bytes;
}

// A UTF-16 or UTF-32 charset can decode to half a surrogate pair, which is
// no character and which no writer could give back; it becomes U+FFFD.
QString withoutLoneSurrogates(QString text)
{
    if (QStringView(text).isValidUtf16()) return text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair)
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// The value's text: quoted-printable decoded first, then its CHARSET when
// the toolkit knows it; otherwise UTF-8 when the bytes are valid UTF-8,
// else Windows-1252. A CR LF inside becomes one line feed.
QString decodeValue(QByteArrayView raw, const PropertyHead& head)
{
    QByteArray decoded;
    if (head.quotedPrintable) {
        decoded = decodeQuotedPrintable(raw);
        raw = decoded;
    }
    if (head.decoder) {
        head.decoder->resetState();
        QString text = head.decoder->decode(raw);
        if (!head.decoder->hasError()) {
            if (text.contains(QLatin1Char('\r'))) text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            return withoutLoneSurrogates(std::move(text));
        }
    }
    return decodeItem(raw);
}

// Undoes the text escapes: \n and \N (not in 2.1, which has none), \\, \,
// and \;. Splits compound values at unescaped semicolons. A line break its
// writer marked as a lone CR comes back as one; the marks count the line
// breaks of the whole value.
class Unescaper {
public:
    Unescaper(Version version, const QVarLengthArray<int, 4>& carriageReturns)
        : version_(version), carriageReturns_(carriageReturns)
    {}

    // Most values hold no escape, and are their own text.
    QString text(const QString& raw)
    {
        if (!raw.contains(QLatin1Char('\\'))) return raw;
        return run(raw, false).front();
    }

    // Every component, at least one.
    QStringList components(QStringView raw) { return run(raw, true); }

    // Exactly `count` components, the missing ones empty; any beyond are
    // joined to the last with their semicolons, so nothing is lost.
    QStringList components(QStringView raw, qsizetype count)
    {
        QStringList parts = run(raw, true);
        while (parts.size() < count) parts.append(QString());
        while (parts.size() > count) {
            const QString last = parts.takeLast();
            parts.last() += QLatin1Char(';') + last;
        }
        return parts;
    }

private:
    QStringList run(QStringView raw, bool split)
    {
        QStringList parts;
        QString current(raw.size(), Qt::Uninitialized);
        qsizetype length = 0;
        const qsizetype size = raw.size();
        for (qsizetype i = 0; i < size; ++i) {
            QChar c = raw[i];
            if (c == QLatin1Char('\\') && i + 1 < size) {
                const QChar next = raw[i + 1];
                if ((next == QLatin1Char('n') || next == QLatin1Char('N')) && version_ != Version::V21) {
                    ++lineBreaks_;
                    const bool lone = std::find(carriageReturns_.begin(), carriageReturns_.end(), lineBreaks_)
                        != carriageReturns_.end();
                    current[length++] = lone ? QLatin1Char('\r') : QLatin1Char('\n');
                    ++i;
                    continue;
                }
                if (next == QLatin1Char('\\') || next == QLatin1Char(',') || next == QLatin1Char(';')) {
                    c = next;
                    ++i;
                }
            } else if (split && c == QLatin1Char(';')) {
                current.truncate(length);
                parts.append(std::move(current));
                current = QString(size - i, Qt::Uninitialized);
                length = 0;
                continue;
            }
            current[length++] = c;
        }
        current.truncate(length);
        parts.append(std::move(current));
        return parts;
    }

    Version version_;
    const QVarLengthArray<int, 4>& carriageReturns_;
    int lineBreaks_ = 0;
};

// An address book's own label for a group ("item1.X-ABLabel"), without the
// marks some wrap their built-in labels in ("_$!<Mobile>!$_").
QString cleanLabel(QString label)
{
    if (label.startsWith(QStringLiteral("_$!<")) && label.endsWith(QStringLiteral(">!$_")))
        label = label.mid(4, label.size() - 8);
    return label;
}

class CardReader {
public:
    CardReader(Version version, HeadCache& heads, std::vector<QString>& issues)
        : version_(version), heads_(heads), issues_(issues)
    {}

    ContactData read(const std::vector<QByteArray>& lines, std::vector<VCardProperty>& properties);

private:
    void take(const VCardProperty& property, int order);
    const QString& labelFor(const VCardProperty& property, const PropertyHead& head) const;

    Version version_;
    HeadCache& heads_;
    std::vector<QString>& issues_;
    ContactData contact_;
    QVarLengthArray<std::pair<QByteArrayView, QString>, 4> groupLabels_;
    bool hasName_ = false, hasNameParts_ = false, hasCompany_ = false, hasNote_ = false;
};

ContactData CardReader::read(const std::vector<QByteArray>& lines, std::vector<VCardProperty>& properties)
{
    properties.clear();
    int skippedLines = 0;
    VCardProperty property;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        if (parseContentLine(line, property))
            properties.push_back(property);
        else
            ++skippedLines;
    }
    if (skippedLines > 0)
        issues_.push_back(QStringLiteral("%1 line(s) that are no vCard property skipped").arg(skippedLines));
    for (const VCardProperty& labelled : properties)
        if (!labelled.group.isEmpty() && labelled.is("X-ABLABEL"))
            groupLabels_.append({labelled.group, cleanLabel(decodeValue(labelled.value, heads_.of(labelled)))});
    for (std::size_t i = 0; i < properties.size(); ++i) take(properties[i], static_cast<int>(i));
    return std::move(contact_);
}

// The group's label where the address book gave one; else the property's
// readable name with its types.
const QString& CardReader::labelFor(const VCardProperty& property, const PropertyHead& head) const
{
    if (!property.group.isEmpty())
        for (const auto& [group, label] : groupLabels_)
            if (group.compare(property.group, Qt::CaseInsensitive) == 0 && !label.isEmpty()) return label;
    return head.label;
}

void CardReader::take(const VCardProperty& property, int order)
{
    const PropertyHead& head = heads_.of(property);
    if (head.kind == PropertyKind::Structural) return;
    if (head.kind == PropertyKind::GroupLabel && !property.group.isEmpty()) return;
    const bool dataUri = (head.takesUri || head.valueUri) && property.value.size() >= 5
        && equalsNoCase(property.value.first(5), "data:");
    if (head.binary || dataUri) {
        issues_.push_back(QStringLiteral("%1 not imported: binary data").arg(head.upperName));
        return;
    }

    const QString raw = decodeValue(property.value, head);
    Unescaper unescape(version_, head.carriageReturns);
    const QString& label = labelFor(property, head);
    switch (head.kind) {
    case PropertyKind::FullName:
        if (hasName_) break;
        hasName_ = true;
        contact_.formattedName = unescape.text(raw);
        contact_.formattedNameOrder = order;
        return;
    case PropertyKind::Name: {
        if (hasNameParts_) break;
        hasNameParts_ = true;
        const QStringList parts = unescape.components(raw, 5);
        contact_.family = parts[0];
        contact_.given = parts[1];
        contact_.additional = parts[2];
        contact_.prefix = parts[3];
        contact_.suffix = parts[4];
        contact_.namePartsOrder = order;
        return;
    }
    case PropertyKind::Organization: {
        if (hasCompany_) break;
        hasCompany_ = true;
        // Only the organisation's name has a box; its units go to the memo.
        const QStringList units = unescape.components(raw);
        contact_.company = units.front();
        QStringList rest;
        for (qsizetype i = 1; i < units.size(); ++i)
            if (!units[i].isEmpty()) rest.append(units[i]);
        if (!rest.isEmpty())
            contact_.extras.push_back({order, QStringLiteral("Department"), rest.join(QStringLiteral(", "))});
        return;
    }
    case PropertyKind::Address: {
        const QStringList parts = unescape.components(raw, 7);
        ContactAddress address;
        address.order = order;
        address.prefRank = head.prefRank;
        address.label = label;
        address.work = head.typeBits & Work;
        address.poBox = parts[0];
        address.extended = parts[1];
        address.street = parts[2];
        address.locality = parts[3];
        address.region = parts[4];
        address.postalCode = parts[5];
        address.country = parts[6];
        contact_.addresses.push_back(std::move(address));
        return;
    }
    case PropertyKind::Phone: {
        ContactPhone phone;
        phone.order = order;
        phone.prefRank = head.prefRank;
        phone.label = label;
        phone.number = unescape.text(raw);
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
        // A label naming one of the boxes puts the number there.
        if (&label != &head.label) {
            if (label.compare(QLatin1String("PHONE 2"), Qt::CaseInsensitive) == 0) phone.slot = 2;
            if (label.compare(QLatin1String("PHONE"), Qt::CaseInsensitive) == 0) phone.slot = 1;
        }
        contact_.phones.push_back(std::move(phone));
        return;
    }
    case PropertyKind::Email: {
        ContactEmail email;
        email.order = order;
        email.prefRank = head.prefRank;
        email.label = label;
        email.address = unescape.text(raw);
        contact_.emails.push_back(std::move(email));
        return;
    }
    case PropertyKind::Note:
        if (hasNote_) break;
        hasNote_ = true;
        contact_.note = unescape.text(raw);
        return;
    case PropertyKind::Kind:
        contact_.kind = MemoLine{order, label, unescape.text(raw)};
        return;
    default:
        break;
    }
    contact_.extras.push_back({order, label, unescape.text(raw)});
}

} // namespace

ImportResult readVCards(QByteArrayView input)
{
    ImportResult result;
    QByteArray converted;
    const QByteArrayView bytes = asEightBitText(input, converted);
    VCardLineReader reader(bytes);
    std::vector<QByteArray> lines;
    std::vector<VCardProperty> properties;
    HeadCache heads;
    QByteArray line;
    qsizetype cardCount = 0;
    int depth = 0;
    Version version = Version::V30;
    bool embedded = false;
    std::optional<ContentKind> firstVersion;

    auto finish = [&](bool truncated) {
        ++cardCount;
        std::vector<QString> issues;
        if (truncated) issues.push_back(QStringLiteral("the file ends before the card does (no END:VCARD)"));
        if (embedded) issues.push_back(QStringLiteral("a vCard embedded in this one not imported"));
        ContactData contact = CardReader(version, heads, issues).read(lines, properties);
        MappedCard mapped = mapContact(contact);
        issues.insert(issues.end(), mapped.issues.begin(), mapped.issues.end());
        const QString& contactName = mapped.card[indexOf(Field::CCNAME)];
        const QString name = contactName.isEmpty() ? mapped.card[indexOf(Field::CNAME)] : contactName;
        if (mapped.empty)
            issues.push_back(QStringLiteral("holds no contact data: not imported"));
        else
            result.cards.push_back(std::move(mapped.card));
        for (QString& reason : issues) result.issues.push_back({cardCount, name, std::move(reason)});
    };

    while (reader.next(line)) {
        if (depth == 0) {
            if (isBeginVCard(line)) {
                depth = 1;
                lines.clear();
                version = Version::V30;
                embedded = false;
                reader.setKeepFoldingBlank(false);
            }
            continue;
        }
        if (isBeginVCard(line)) {
            ++depth;
            embedded = true;
            continue;
        }
        if (isEndVCard(line)) {
            if (--depth == 0) finish(false);
            continue;
        }
        if (depth > 1) continue;
        if (line.size() > 8 && QByteArrayView(line).first(8).compare("VERSION:", Qt::CaseInsensitive) == 0) {
            const QByteArrayView value = QByteArrayView(line).sliced(8).trimmed();
            version = value == "2.1" ? Version::V21 : value.startsWith("4") ? Version::V40 : Version::V30;
            reader.setKeepFoldingBlank(version == Version::V21);
            if (!firstVersion)
                firstVersion = version == Version::V21 ? ContentKind::VCard21
                    : version == Version::V40          ? ContentKind::VCard4
                                                       : ContentKind::VCard3;
        }
        lines.push_back(line);
    }
    if (depth > 0) finish(true);

    if (cardCount == 0) {
        result.reason = QStringLiteral("holds no vCard (no BEGIN:VCARD line)");
        return result;
    }
    result.recognised = true;
    result.kind = firstVersion.value_or(ContentKind::VCard3);
    return result;
}

std::optional<ContentKind> leadingVCardVersion(QByteArrayView input)
{
    QByteArray converted;
    VCardLineReader reader(asEightBitText(input, converted));
    QByteArray line;
    bool inCard = false;
    while (reader.next(line)) {
        if (!inCard) {
            if (line.trimmed().isEmpty()) continue;
            if (!isBeginVCard(line)) return std::nullopt;
            inCard = true;
            continue;
        }
        VCardProperty property;
        if (isEndVCard(line)) break;
        if (parseContentLine(line, property) && property.is("VERSION")) {
            const QByteArrayView value = property.value.trimmed();
            if (value == "2.1") return ContentKind::VCard21;
            if (value.startsWith("4")) return ContentKind::VCard4;
            return ContentKind::VCard3;
        }
    }
    // No VERSION: 3.0 and 4.0 demand one, so the card is most like 2.1's.
    return inCard ? std::optional(ContentKind::VCard21) : std::nullopt;
}

} // namespace kestrix
