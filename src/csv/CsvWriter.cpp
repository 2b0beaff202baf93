// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvWriter.h"

#include "contacts/CardMapping.h"

#include <QStringEncoder>

namespace kestrix {

namespace {

// Quotes doubled, line feeds as CR LF; the rest copied a stretch at a time.
void appendQuoted(QByteArray& out, QByteArrayView text)
{
    out.append('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '"' && c != '\n') continue;
        out.append(text.sliced(start, i - start));
        out.append(c == '"' ? "\"\"" : "\r\n");
        start = i + 1;
    }
    out.append(text.sliced(start));
    out.append('"');
}

} // namespace

void appendCsvHeader(QByteArray& out)
{
    out.append("\xEF\xBB\xBF");
    for (Field field : kAllFields) {
        if (field != kAllFields.front()) out.append(',');
        const QLatin1String caption = fieldCaption(field);
        appendQuoted(out, QByteArrayView(caption.data(), caption.size()));
    }
    out.append("\r\n");
}

void appendCsvRow(QByteArray& out, const CardRecord& card)
{
    // Kept from one row to the next: no allocation per field.
    static thread_local QByteArray utf8;
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) out.append(',');
        utf8.resize(encoder.requiredSpace(card[i].size()));
        utf8.resize(encoder.appendToBuffer(utf8.data(), card[i]) - utf8.data());
        appendQuoted(out, utf8);
    }
    out.append("\r\n");
}

} // namespace kestrix
