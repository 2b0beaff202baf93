// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CsvColumns.h"
#include "contacts/ContactData.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace kestrix {

// A field of a CSV row that holds something, and its column, from 0.
struct CsvCell {
    int column = 0;
    QString value;
};

// What a CSV row says of its contact, its columns told by the header row:
// those with a box of their own fill it; numbered groups ("Phone 1 - Type"
// with "Phone 1 - Value") are read together; any other column, and one
// beyond the header, gives a "Header: value" memo line.
class CsvContactReader {
public:
    CsvContactReader() = default;
    // A header naming a property in another program's words labels the
    // memo as a vCard's property would, so the export finds it again.
    CsvContactReader(std::vector<CsvColumn> columns, const QStringList& headers);

    // `cells` in the order of their columns; empty fields left out.
    ContactData read(const std::vector<CsvCell>& cells);

private:
    std::vector<CsvColumn> columns_;
    QStringList headers_;
};

} // namespace kestrix
