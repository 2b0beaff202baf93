// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ImportReport.h"

#include <QByteArrayView>

#include <optional>

namespace kestrix {

// Reads CSV as RFC 4180 describes it (quoted fields may hold separators,
// doubled quotes and line breaks), in UTF-8 with or without a byte order
// mark; a field whose bytes are not valid UTF-8 is read as Windows-1252,
// and reported. The first row names the columns (csvColumnFor); a column
// with no box of its own gives a "Header: value" memo line; a row repeating
// it is skipped. Fields are separated by commas, or by semicolons or tabs
// when those split the header into more known columns. Content whose first
// row names no known column is not recognised. The whole of `bytes` at
// once; ContactReader reads a card at a time.
ImportResult readCsv(QByteArrayView bytes);

// The separator of a CSV whose first row names at least one known column;
// nothing for other content.
std::optional<char> csvSeparatorOf(QByteArrayView bytes);

} // namespace kestrix
