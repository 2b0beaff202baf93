// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchEntries.h"

#include "CompactEntries.h"
#include "EntryOrder.h"
#include "storage/TextEncoding.h"

#include <QStringBuilder>

namespace kestrix {

QString searchEntry(const QString& recordNumber, const QString& contact)
{
    return recordNumber % QLatin1String("  ") % contact;
}

bool entryEquals(QStringView wanted, const QString& recordNumber, QByteArrayView storedContact)
{
    const QStringView blanks = u"  ";
    if (!wanted.startsWith(recordNumber) || !wanted.sliced(recordNumber.size()).startsWith(blanks)) return false;
    return itemEquals(storedContact, wanted.sliced(recordNumber.size() + blanks.size()));
}

void sortSearchEntries(QStringList& entries)
{
    CompactEntries compact;
    for (const QString& entry : std::as_const(entries)) compact.append(entry);
    QStringList sorted;
    sorted.reserve(entries.size());
    for (quint32 index : sortedOrder(compact)) sorted.append(std::move(entries[index]));
    entries = std::move(sorted);
}

} // namespace kestrix
