// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardStream.h"

#include "CardMapping.h"

namespace kestrix {

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;

// Megabytes to a tenth, a whole number from a hundred on. `aboveLimit`: the
// size of a card too large, which must not read as the limit itself.
QString megabytes(qint64 bytes, bool aboveLimit = false)
{
    qint64 tenths = (bytes * 10 + kMegabyte / 2) / kMegabyte;
    if (aboveLimit && tenths <= kLargestCardBytes * 10 / kMegabyte) tenths = (bytes * 10 + kMegabyte - 1) / kMegabyte;
    if (tenths >= 1000 || tenths % 10 == 0) return QString::number((tenths + 5) / 10);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

// The name a report gives a card: its contact, else its company.
QString cardName(const CardRecord& card)
{
    const QString& contact = card[indexOf(Field::CCNAME)];
    return contact.isEmpty() ? card[indexOf(Field::CNAME)] : contact;
}

} // namespace

bool fitCard(const ContactData& contact, qsizetype position, std::vector<QString> reasons, const QStringList& notUtf8,
             CardRecord& card, std::vector<ImportIssue>& issues)
{
    MappedCard mapped = mapContact(contact);
    reasons.insert(reasons.end(), mapped.issues.begin(), mapped.issues.end());
    if (mapped.empty) reasons.push_back(QStringLiteral("holds no contact data: not imported"));
    const QString name = cardName(mapped.card);
    for (QString& reason : reasons) issues.push_back({position, name, std::move(reason)});
    if (!contact.leftOut.empty())
        issues.push_back(
            {position, name,
             QStringLiteral("left out, holding no contact data: %1")
                 .arg(QStringList(contact.leftOut.begin(), contact.leftOut.end()).join(QStringLiteral(", "))),
             true});
    if (!notUtf8.isEmpty())
        issues.push_back(
            {position, name,
             QStringLiteral("not UTF-8, so read as Windows-1252: %1").arg(notUtf8.join(QStringLiteral(", "))), true});
    if (mapped.empty) return false;
    card = std::move(mapped.card);
    return true;
}

void reportSkipped(const ContactData& contact, qsizetype position, std::vector<QString> reasons,
                   std::vector<ImportIssue>& issues)
{
    const QString name = cardName(mapContact(contact).card);
    for (QString& reason : reasons) issues.push_back({position, name, std::move(reason)});
}

QString tooManyFieldsReason(qint64 fields)
{
    return QStringLiteral("not imported: it has %1 fields, more than the %2 a card may have")
        .arg(fields)
        .arg(kMostCardFields);
}

QString tooLargeReason(qint64 bytes)
{
    return QStringLiteral("not imported: it holds %1 MB, more than the %2 MB a card may hold")
        .arg(megabytes(bytes, true), megabytes(kLargestCardBytes));
}

} // namespace kestrix
