// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ExchangeFormat.h"

#include <QLatin1String>

namespace kestrix {

std::optional<ExchangeFormat> formatFromFileName(QStringView fileName)
{
    if (fileName.endsWith(QLatin1String(".vcf"), Qt::CaseInsensitive)
        || fileName.endsWith(QLatin1String(".vcard"), Qt::CaseInsensitive))
        return ExchangeFormat::VCard4;
    if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) return ExchangeFormat::Csv;
    return std::nullopt;
}

std::optional<ExchangeFormat> formatFromWord(QStringView word)
{
    if (word.compare(QLatin1String("vcard4"), Qt::CaseInsensitive) == 0) return ExchangeFormat::VCard4;
    if (word.compare(QLatin1String("vcard3"), Qt::CaseInsensitive) == 0) return ExchangeFormat::VCard3;
    if (word.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) return ExchangeFormat::Csv;
    return std::nullopt;
}

} // namespace kestrix
