// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QStringView>

#include <optional>

namespace kestrix {

// The formats cards are written in. vCard 4.0 is the default; 3.0 is for
// older phones that read nothing newer.
enum class ExchangeFormat { VCard4, VCard3, Csv };

// What a file holds, as far as its first lines tell.
enum class ContentKind { VCard21, VCard3, VCard4, Csv, NotContacts };

// ".vcf" and ".vcard" name vCard 4.0, ".csv" CSV, in any letter case; any
// other name, nothing.
std::optional<ExchangeFormat> formatFromFileName(QStringView fileName);

// The word a user gives for a format: "vcard4", "vcard3" or "csv", in any
// letter case.
std::optional<ExchangeFormat> formatFromWord(QStringView word);

} // namespace kestrix
