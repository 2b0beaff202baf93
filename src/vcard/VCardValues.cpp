// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardValues.h"

#include "card/TextEncoding.h"

#include <algorithm>

namespace kestrix::vcard {

namespace {

bool equalsNoCase(QByteArrayView a, const char* b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isUtf8Name(QByteArrayView charset)
{
    return equalsNoCase(charset, "UTF-8") || equalsNoCase(charset, "UTF8");
}

struct KnownProperty {
    const char* name;
    PropertyKind kind;
    const char* label;
};

// Properties the mapping looks at; the memo labels of the others are in
// MemoProperties, which the export shares. BEGIN, END, VERSION, PRODID, REV, UID and CLIENTPIDMAP say
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

// X-KESTRIX-CR: the ordinals, from 1, of the line breaks that stand for a
// lone CR, separated by commas.
void addCarriageReturns(PropertyHead& head, QByteArrayView value)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = value.sliced(start).indexOf(',');
        const int ordinal = value.sliced(start, comma < 0 ? value.size() - start : comma).toInt();
        if (ordinal > 0) head.carriageReturns.push_back(ordinal);
        if (comma < 0) break;
        start += comma + 1;
    }
}

void addParameter(PropertyHead& head, const VCardParameter& parameter, QStringList& qualifiers)
{
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
        addCarriageReturns(head, value);
    } else if (equalsNoCase(parameter.name, "X-APPLE-OMIT-YEAR")) {
        bool ok = false;
        const int year = value.toInt(&ok);
        if (ok) head.omittedYear = year;
    }
}

PropertyHead headOf(const VCardProperty& property)
{
    PropertyHead head;
    QString label = QString::fromUtf8(property.name);
    head.upperName = label.toUpper();
    bool known = false;
    for (const KnownProperty& row : kKnown)
        if (property.is(row.name)) {
            head.kind = row.kind;
            label = QLatin1String(row.label);
            known = true;
            break;
        }
    if (const MemoProperty* row = known ? nullptr : memoPropertyNamed(property.name)) {
        label = QLatin1String(row->label);
        head.memoValue = row->value;
        head.takesUri = property.is("PHOTO") || property.is("LOGO") || property.is("SOUND") || property.is("KEY");
    }
    QStringList qualifiers;
    for (const VCardParameter& parameter : property.parameters) addParameter(head, parameter, qualifiers);
    std::sort(head.carriageReturns.begin(), head.carriageReturns.end());
    head.carriageReturns.erase(std::unique(head.carriageReturns.begin(), head.carriageReturns.end()),
                               head.carriageReturns.end());
    if (!qualifiers.isEmpty()) label += QStringLiteral(" (") + qualifiers.join(QStringLiteral(", ")) + QLatin1Char(')');
    head.label = label;
    return head;
}

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

} // namespace

const PropertyHead& HeadCache::of(const VCardProperty& property)
{
    const char* start = property.name.data();
    const QByteArray key = QByteArray::fromRawData(start, property.value.data() - 1 - start);
    const auto byte = [&key](qsizetype i) { return static_cast<std::size_t>(static_cast<unsigned char>(key[i])); };
    const std::size_t spread = key.isEmpty() ? 0 : byte(0) * 7 + byte(key.size() - 1) * 3 + byte(key.size() / 2);
    Recent& recent = recent_[(static_cast<std::size_t>(key.size()) * 31 + spread) % kRecent];
    if (recent.head != nullptr && recent.key == key) return *recent.head;
    auto found = heads_.constFind(key);
    if (found == heads_.constEnd()) {
        if (heads_.size() >= 256) heads_.clear();
        found = heads_.emplace(QByteArray(key.constData(), key.size()), headOf(property));
        // An insertion may move what the others point to.
        for (Recent& other : recent_) other.head = nullptr;
    }
    recent.key = found.key();
    recent.head = &*found;
    return *found;
}

bool isBinaryValue(const PropertyHead& head, QByteArrayView value)
{
    const bool dataUri = (head.takesUri || head.valueUri) && value.size() >= 5 && equalsNoCase(value.first(5), "data:");
    return head.binary || dataUri;
}

QString decodeValue(QByteArrayView raw, const PropertyHead& head, bool& notUtf8)
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
    if (!raw.isValidUtf8()) notUtf8 = true;
    return decodeItem(raw);
}

QString Unescaper::text(const QString& raw)
{
    if (!raw.contains(QLatin1Char('\\'))) return raw;
    return run(raw, false).front();
}

QStringList Unescaper::components(QStringView raw, qsizetype count)
{
    QStringList parts = run(raw, true);
    while (parts.size() < count) parts.append(QString());
    if (parts.size() > count) {
        QString last = parts[count - 1];
        for (qsizetype i = count; i < parts.size(); ++i) last += QLatin1Char(';') + parts[i];
        parts.resize(count);
        parts.back() = std::move(last);
    }
    return parts;
}

// The text goes into one buffer; each component is copied out at its end,
// so many components cost no more than one.
QStringList Unescaper::run(QStringView raw, bool split)
{
    QStringList parts;
    QString current(raw.size(), Qt::Uninitialized);
    qsizetype length = 0, partStart = 0;
    const qsizetype size = raw.size();
    for (qsizetype i = 0; i < size; ++i) {
        QChar c = raw[i];
        if (c == QLatin1Char('\\') && i + 1 < size) {
            const QChar next = raw[i + 1];
            if ((next == QLatin1Char('n') || next == QLatin1Char('N')) && version_ != Version::V21) {
                ++lineBreaks_;
                while (nextMark_ < carriageReturns_.size() && carriageReturns_[nextMark_] < lineBreaks_) ++nextMark_;
                const bool lone = nextMark_ < carriageReturns_.size() && carriageReturns_[nextMark_] == lineBreaks_;
                current[length++] = lone ? QLatin1Char('\r') : QLatin1Char('\n');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\') || next == QLatin1Char(',') || next == QLatin1Char(';')) {
                c = next;
                ++i;
            }
        } else if (split && c == QLatin1Char(';')) {
            parts.append(QString(current.constData() + partStart, length - partStart));
            partStart = length;
            continue;
        }
        current[length++] = c;
    }
    if (partStart == 0) {
        current.truncate(length);
        parts.append(std::move(current));
    } else {
        parts.append(QString(current.constData() + partStart, length - partStart));
    }
    return parts;
}

} // namespace kestrix::vcard
