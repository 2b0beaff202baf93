// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardLine.h"

#include "TextEncoding.h"

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

CardRecord cardOfLine(QByteArrayView line)
{
    CardRecord card;
    qsizetype at = 0;
    for (int i = 0; i < kFieldCount && at < line.size(); ++i) {
        QByteArrayView item;
        if (line[at] == '"') {
            const qsizetype close = line.indexOf('"', at + 1);
            const qsizetype end = close < 0 ? line.size() : close;
            item = line.sliced(at + 1, end - at - 1);
            at = close < 0 ? line.size() : close + 1;
            while (at < line.size() && line[at] != ',' && line[at] != '\r' && line[at] != '\n') ++at;
        } else {
            qsizetype end = at;
            while (end < line.size() && line[end] != ',' && line[end] != '\r' && line[end] != '\n') ++end;
            item = line.sliced(at, end - at).trimmed();
            at = end;
        }
        card[i] = decodeItem(item);
        if (at < line.size() && line[at] != ',') break;
        ++at;
    }
    return card;
}

bool isStoredLine(QByteArrayView line)
{
    // Fourteen quoted items: 28 quotes, 13 commas between them, CR LF.
    if (!line.startsWith('"') || !line.endsWith("\"\r\n")) return false;
    qsizetype items = 0;
    qsizetype at = 0;
    while (at < line.size() - 2) {
        const qsizetype close = line.indexOf('"', at + 1);
        if (close < 0) return false;
        ++items;
        at = close + 1;
        if (at == line.size() - 2) break;
        if (line[at] != ',' || at + 1 >= line.size() || line[at + 1] != '"') return false;
        ++at;
    }
    return items == kFieldCount;
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
