// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvWriter.h"

#include "CardMapping.h"

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
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) out.append(',');
        const QLatin1String caption = fieldCaption(static_cast<Field>(i));
        appendQuoted(out, QByteArrayView(caption.data(), caption.size()));
    }
    out.append("\r\n");
}

void appendCsvRow(QByteArray& out, const CardRecord& card)
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) out.append(',');
        appendQuoted(out, card[i].toUtf8());
    }
    out.append("\r\n");
}

} // namespace kestrix
