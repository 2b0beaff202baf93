// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace kestrix {

// The search list's entry for one card: its number, two blanks, its contact
// name. SELECT loads the card whose entry is the combo box's text.
QString searchEntry(const QString& recordNumber, const QString& contact);

// Whether searchEntry(recordNumber, contact) is `wanted`, where
// `storedContact` is the contact item's bytes as stored. Builds no entry, and
// decodes the contact only where its bytes are not already its text.
bool entryEquals(QStringView wanted, const QString& recordNumber, QByteArrayView storedContact);

// Sorts entries by text, not by number ("10  ..." before "2  ..."), ignoring
// letter case; entries equal but for case keep a fixed order by exact text.
// The search list's own order (sortedOrder), for entries held as strings.
void sortSearchEntries(QStringList& entries);

} // namespace kestrix
