// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ContactData.h"
#include "CsvColumns.h"

#include <QString>
#include <QStringList>

#include <map>
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
    CsvContactReader(std::vector<CsvColumn> columns, QStringList headers)
        : columns_(std::move(columns)), headers_(std::move(headers))
    {}

    // `cells` in the order of their columns; empty fields left out.
    ContactData read(const std::vector<CsvCell>& cells);

private:
    struct Group {
        QString type;
        std::vector<std::pair<CsvRole, QString>> values; // with the column each came from
        int order = 0;
    };

    void addGroups(ContactData& contact);

    std::vector<CsvColumn> columns_;
    QStringList headers_;
    std::map<std::pair<int, int>, Group> groups_; // by kind (phone 0, e-mail 1, address 2) and number
};

} // namespace kestrix
