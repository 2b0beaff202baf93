// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CsvReader.h"

#include "ContactReader.h"
#include "csv/CsvStream.h"

namespace kestrix {

ImportResult readCsv(QByteArrayView bytes)
{
    return readWhole(bytes, ExchangeFormat::Csv);
}

std::optional<char> csvSeparatorOf(QByteArrayView bytes)
{
    TextInput input(sourceOf(bytes));
    return csvSeparatorIn(input);
}

} // namespace kestrix
