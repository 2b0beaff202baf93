// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvRows.h"

namespace kestrix {

namespace {

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

} // namespace

bool CsvRowReader::next(CsvRow& row)
{
    row.text.resize(0);
    row.ends.clear();
    row.size = row.fields = 0;
    row.cut = row.unterminated = row.ended = row.tooManyFields = false;
    if (input_.want(kByteOrderMark.size()) && input_.buffered().startsWith(kByteOrderMark))
        input_.take(kByteOrderMark.size());
    if (!input_.want(1)) return false;
    for (;;) {
        if (++row.fields > fieldLimit_ && !row.cut) {
            row.cut = row.tooManyFields = true;
        }
        if (!row.cut) row.ends.push_back(row.text.size());
        if (input_.want(1) && input_.buffered().front() == '"') {
            take(1, row);
            readQuoted(row);
        }
        // The field, or what stands between its closing quote and the
        // separator, which a lenient reader keeps.
        readPlain(row);
        if (!input_.want(1)) return true;
        const char c = input_.buffered().front();
        take(1, row);
        if (c == separator_) continue;
        if (c == '\r' && input_.want(1) && input_.buffered().front() == '\n') take(1, row);
        row.ended = true;
        return true;
    }
}

void CsvRowReader::readPlain(CsvRow& row)
{
    for (;;) {
        const QByteArrayView buffered = input_.buffered();
        const char* const data = buffered.data();
        qsizetype end = 0;
        while (end < buffered.size() && data[end] != separator_ && data[end] != '\n' && data[end] != '\r') ++end;
        hold(buffered.first(end), row);
        take(end, row);
        if (end < buffered.size() || !input_.fill()) return;
    }
}

void CsvRowReader::readQuoted(CsvRow& row)
{
    for (;;) {
        const QByteArrayView buffered = input_.buffered();
        const char* const data = buffered.data();
        qsizetype end = 0;
        while (end < buffered.size() && data[end] != '"' && data[end] != '\r') ++end;
        hold(buffered.first(end), row);
        take(end, row);
        if (end == buffered.size()) {
            if (input_.fill()) continue;
            row.unterminated = true;
            return;
        }
        const char c = buffered[end];
        const bool pair = input_.want(2) && input_.buffered()[1] == (c == '"' ? '"' : '\n');
        if (c == '"') {
            if (!pair) {
                take(1, row); // the closing quote
                return;
            }
            hold("\"", row);
            take(2, row);
        } else {
            // Of a CR LF, the LF that follows is taken as it stands; a lone
            // CR stays.
            if (!pair) hold("\r", row);
            take(1, row);
        }
    }
}

void CsvRowReader::hold(QByteArrayView piece, CsvRow& row)
{
    if (row.cut) return;
    if (row.size + piece.size() > limit_) {
        row.cut = true;
        row.ends.pop_back(); // the field cut is not held at all
        return;
    }
    row.text.append(piece);
    row.ends.back() = row.text.size();
}

void CsvRowReader::take(qsizetype count, CsvRow& row)
{
    input_.take(count);
    row.size += count;
    // Separators and quotes count too, so a row of many empty fields cannot
    // hold more fields than the limit allows bytes.
    if (!row.cut && row.size > limit_) {
        row.cut = true;
        row.ends.pop_back();
    }
}

} // namespace kestrix
