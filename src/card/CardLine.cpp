// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardLine.h"

#include "TextEncoding.h"

namespace kestrix {

namespace {

// A field's stored bytes (encodeField's) written at `out`: UTF-8, each line
// break a CR LF. Three bytes a unit at most.
char* appendStoredField(const QString& text, char* out)
{
    const QStringView view(text);
    for (qsizetype i = 0; i < view.size(); ++i) {
        if (view[i] == QLatin1Char('\n') && (i == 0 || view[i - 1] != QLatin1Char('\r'))) *out++ = '\r';
        out = appendUtf8Of(view, i, out);
    }
    return out;
}

} // namespace

// In one buffer sized once: every Save, import and merge writes its cards
// through here.
QByteArray cardLine(const CardRecord& card)
{
    qsizetype most = 2;
    for (const QString& field : card) most += 3 + 3 * field.size();
    QByteArray line(most, Qt::Uninitialized);
    char* at = line.data();
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) *at++ = ',';
        *at++ = '"';
        at = appendStoredField(card[i], at);
        *at++ = '"';
    }
    *at++ = '\r';
    *at++ = '\n';
    line.truncate(at - line.constData());
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
    return '"' + encodeField(number) + "\"\r\n";
}

std::optional<Field> firstFieldWithDoubleQuote(const CardRecord& card)
{
    for (Field field : kAllFields)
        if (card[indexOf(field)].contains(QLatin1Char('"'))) return field;
    return std::nullopt;
}

} // namespace kestrix
