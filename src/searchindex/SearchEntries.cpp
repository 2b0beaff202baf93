// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchEntries.h"

#include "card/TextEncoding.h"

namespace kestrix {

bool entryEquals(QStringView wanted, const QString& recordNumber, QByteArrayView storedContact)
{
    const QStringView blanks = u"  ";
    if (!wanted.startsWith(recordNumber) || !wanted.sliced(recordNumber.size()).startsWith(blanks)) return false;
    return itemEquals(storedContact, wanted.sliced(recordNumber.size() + blanks.size()));
}

} // namespace kestrix
