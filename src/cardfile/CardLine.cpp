// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardLine.h"

#include "card/TextEncoding.h"

namespace kestrix {

namespace {

void appendQuoted(QByteArray& out, const QString& text)
{
    out.append('"');
    out.append(encodeField(text));
    out.append('"');
}

} // namespace

QByteArray cardLine(const CardRecord& card)
{
    QByteArray line;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) line.append(',');
        appendQuoted(line, card[i]);
    }
    line.append("\r\n");
    return line;
}

QByteArray counterLine(const QString& number)
{
    QByteArray line;
    appendQuoted(line, number);
    line.append("\r\n");
    return line;
}

std::optional<Field> firstFieldWithDoubleQuote(const CardRecord& card)
{
    for (Field field : kAllFields)
        if (card[indexOf(field)].contains(QLatin1Char('"'))) return field;
    return std::nullopt;
}

} // namespace kestrix
