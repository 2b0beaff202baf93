// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QByteArray>

namespace kestrix {

// CSV as RFC 4180 describes it, in UTF-8 with a byte order mark (without
// one, spreadsheets on Windows take the file for their 8-bit code page).

// The header row: the editor's 14 captions.
void appendCsvHeader(QByteArray& out);

// One row of 14 quoted fields, CR LF at its end. A line break in a field
// is written as CR LF inside its quotes; a lone CR stays a lone CR, so
// readCsv gives back every field as it was.
void appendCsvRow(QByteArray& out, const CardRecord& card);

} // namespace kestrix
