// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace kestrix {

// What a value without a box holds, which decides how it is written back.
enum class MemoValue {
    Text,
    List, // several values, separated by commas (NICKNAME, CATEGORIES)
    Date, // a date, with or without its year
    Uri,
};

// A property without a box of its own: the import writes it to the memo as
// a "Label: value" line, and the export reads such a line back into the
// property. One table serves both ways, so what goes in comes out.
struct MemoProperty {
    const char* property; // its vCard name
    const char* label;    // its label in the memo
    MemoValue value;
    bool inV3; // written back in vCard 3.0
    bool inV4; // written back in vCard 4.0
};

// The row of the vCard property `name` (any letter case); null for a
// property with a box or one the table does not know.
const MemoProperty* memoPropertyNamed(QByteArrayView name);

// The row whose label is `label`, as the memo spells it; null for none.
const MemoProperty* memoPropertyLabelled(QStringView label);

// The memo's labels for CSV columns whose headers name one of the table's
// properties in another program's words ("Job Title", "Web Page"); the
// header itself otherwise. Where a "Job Title" stands beside it, a "Title"
// column is the name's prefix (Mr., Dr.), as mail programs write it.
QStringList memoLabelsOfColumns(const QStringList& headers);

// A date as the memo shows it: "1980-05-04", or "--05-04" without a year.
// `omittedYear` is the year a writer put in for one it did not know (Apple's
// X-APPLE-OMIT-YEAR, often 1604). A value that is no plain date stays as it
// is.
QString memoDate(const QString& value, std::optional<int> omittedYear);

} // namespace kestrix
