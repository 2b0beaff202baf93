// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "AddressBlock.h"

#include <QStringList>

namespace kestrix {

QString addressBlock(const CardRecord& card)
{
    auto field = [&card](Field f) -> const QString& { return card[indexOf(f)]; };
    QStringList lines;
    auto add = [&lines](const QString& line) {
        if (!line.isEmpty()) lines.append(line);
    };
    add(field(Field::CNAME));
    add(field(Field::CCNAME));
    add(field(Field::ADDRESS1));
    add(field(Field::ADDRESS2));
    QString stateAndZip = field(Field::ST);
    if (!stateAndZip.isEmpty() && !field(Field::ZIP).isEmpty()) stateAndZip += QLatin1Char(' ');
    stateAndZip += field(Field::ZIP);
    QString place = field(Field::CITY);
    if (!place.isEmpty() && !stateAndZip.isEmpty()) place += QStringLiteral(", ");
    add(place + stateAndZip);
    const std::pair<Field, QLatin1String> labelled[] = {
        {Field::PHONE, QLatin1String("Phone")},  {Field::PHONE2, QLatin1String("Phone 2")},
        {Field::CELL, QLatin1String("Cell")},    {Field::FAX, QLatin1String("Fax")},
        {Field::email, QLatin1String("E-mail")},
    };
    for (const auto& [f, label] : labelled)
        if (!field(f).isEmpty()) lines.append(label + QStringLiteral(": ") + field(f));
    QString block = lines.join(QLatin1Char('\n'));
    if (!field(Field::MEMO).isEmpty()) {
        // A lone CR from an old file is a line break on the clipboard too.
        QString memo = field(Field::MEMO);
        memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (!block.isEmpty()) block += QStringLiteral("\n\n");
        block += memo;
    }
    if (!block.isEmpty()) block += QLatin1Char('\n');
    return block;
}

} // namespace kestrix
