// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardUid.h"

#include "formats/RawVCard.h"

namespace kestrix {

namespace {

// The value of a property as its bytes stand: after the first colon,
// unfolded, without the line end.
QByteArray valueOf(const RawProperty& property)
{
    const qsizetype colon = property.bytes.indexOf(':');
    if (colon < 0) return {};
    QByteArray value = property.bytes.mid(colon + 1);
    value.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "").replace("\n\t", "");
    while (value.endsWith('\n') || value.endsWith('\r')) value.chop(1);
    return value;
}

} // namespace

QString uidOf(QByteArrayView vcard)
{
    for (const RawProperty& property : rawProperties(vcard))
        if (property.name == "UID") return QString::fromUtf8(valueOf(property)).trimmed();
    return {};
}

QByteArray withUid(QByteArrayView vcard, const QString& uid)
{
    const QByteArray line = "UID:" + uid.toUtf8() + "\r\n";
    QByteArray out;
    out.reserve(vcard.size() + line.size());
    bool placed = false;
    for (const RawProperty& property : rawProperties(vcard)) {
        if (property.name == "UID") {
            if (!placed) out += line;
            placed = true;
            continue;
        }
        if (property.name == "END" && !placed) {
            out += line;
            placed = true;
        }
        out += property.bytes;
    }
    return out;
}

ExchangeFormat versionOf(QByteArrayView vcard)
{
    for (const RawProperty& property : rawProperties(vcard))
        if (property.name == "VERSION")
            return valueOf(property).trimmed() == "4.0" ? ExchangeFormat::VCard4 : ExchangeFormat::VCard3;
    return ExchangeFormat::VCard3;
}

} // namespace kestrix
