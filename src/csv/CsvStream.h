// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CsvContact.h"
#include "CsvRows.h"
#include "contacts/CardStream.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrix {

// The separator of CSV whose first row names at least one known column:
// of comma, semicolon and tab, the one that splits it into the most known
// columns, commas on a tie; nothing for other content. Looks at the start of
// the input only, without taking it.
std::optional<char> csvSeparatorIn(TextInput& input);

// The rows of a CSV file as cards, a row at a time, the first row naming the
// columns. Each field is read as UTF-8 where its bytes are valid UTF-8, else
// as Windows-1252, which is reported. A row that repeats the header (files
// joined with `cat`) is skipped; a row holding more than kLargestCardBytes
// is only counted, not held.
class CsvCards : public CardStream {
public:
    CsvCards(TextInput& input, char separator);
    bool next(CardRecord& card, std::vector<ImportIssue>& issues) override;

private:
    bool repeatsHeader() const;
    std::vector<CsvCell> cellsOf(QStringList& notUtf8) const;

    CsvRowReader rows_;
    CsvRow row_;
    CsvContactReader contacts_;
    QStringList headers_;
    std::vector<QByteArray> headerFields_; // as their bytes, trimmed
    bool headerNotUtf8_ = false;           // told with the first row
    qsizetype position_ = 0;
};

} // namespace kestrix
