// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "RawVCard.h"

namespace kestrix {

namespace {

RawProperty startOf(QByteArrayView line)
{
    RawProperty property{line.toByteArray(), {}, {}};
    qsizetype end = 0;
    while (end < line.size() && line[end] != ':' && line[end] != ';' && line[end] != '\r' && line[end] != '\n') ++end;
    const QByteArrayView name = line.first(end).trimmed();
    const qsizetype dot = name.lastIndexOf('.');
    property.name = name.sliced(dot + 1).toByteArray().toUpper();
    if (dot > 0) property.group = name.first(dot).toByteArray().toLower();
    return property;
}

// A quoted-printable value whose line ends in '=' goes on in the next line.
bool endsInSoftBreak(const RawProperty& property)
{
    const QByteArray text = property.bytes.trimmed();
    if (!text.endsWith('=')) return false;
    const qsizetype colon = text.indexOf(':');
    return colon > 0 && text.first(colon).toUpper().contains("QUOTED-PRINTABLE");
}

} // namespace

std::vector<RawProperty> rawProperties(QByteArrayView vcard)
{
    std::vector<RawProperty> properties;
    qsizetype at = 0;
    while (at < vcard.size()) {
        const qsizetype lineFeed = vcard.indexOf('\n', at);
        const qsizetype end = lineFeed < 0 ? vcard.size() : lineFeed + 1;
        const QByteArrayView line = vcard.sliced(at, end - at);
        const bool folded = line.startsWith(' ') || line.startsWith('\t');
        if (!properties.empty() && !properties.back().name.isEmpty() && (folded || endsInSoftBreak(properties.back())))
            properties.back().bytes += line;
        else
            properties.push_back(startOf(line));
        at = end;
    }
    return properties;
}

} // namespace kestrix
