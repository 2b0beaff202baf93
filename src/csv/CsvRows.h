// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/InputBytes.h"

#include <QByteArray>
#include <QByteArrayView>

#include <limits>
#include <vector>

namespace kestrix {

// One row of a CSV file, its fields as their bytes.
struct CsvRow {
    QByteArray text;             // the fields held, one after another
    std::vector<qsizetype> ends; // where each field held ends in `text`
    qint64 size = 0;             // the row's bytes in the file, held or not
    bool cut = false;            // longer than the limit: only the fields before the cut are held
    bool tooManyFields = false;  // cut for its fields' count, not its bytes
    qint64 fields = 0;           // the row's fields, held or not
    bool unterminated = false;   // the content ended inside quotes
    bool ended = false;          // a line break ended it, not the end of the content

    qsizetype count() const { return static_cast<qsizetype>(ends.size()); }
    QByteArrayView field(qsizetype i) const
    {
        const qsizetype start = i == 0 ? 0 : ends[i - 1];
        return QByteArrayView(text).sliced(start, ends[i] - start);
    }
};

// Splits CSV into rows of fields as it streams in, as RFC 4180 describes:
// rows end in CR LF, LF or a lone CR; inside quotes a CR LF or LF is a line
// feed of the field's text, and a lone CR stays a CR; a doubled quote is
// one. A byte order mark at a row's start (files joined with `cat`) is
// dropped. Time is linear in the input, and memory bounded by the limit,
// however long a row.
class CsvRowReader {
public:
    CsvRowReader(TextInput& input, char separator) : input_(input), separator_(separator) {}

    // The most bytes of a row taken into its fields; a longer row is cut.
    void setLimit(qsizetype bytes) { limit_ = bytes; }
    // The most fields of a row held; a row of more is cut.
    void setFieldLimit(qsizetype fields) { fieldLimit_ = fields; }

    // False at the end of the content.
    bool next(CsvRow& row);

private:
    void readQuoted(CsvRow& row);
    void readPlain(CsvRow& row);
    void hold(QByteArrayView piece, CsvRow& row);
    void take(qsizetype count, CsvRow& row);

    TextInput& input_;
    char separator_;
    qsizetype limit_ = std::numeric_limits<qsizetype>::max();
    qsizetype fieldLimit_ = std::numeric_limits<qsizetype>::max();
};

} // namespace kestrix
