// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QStringList>

namespace kestrix {

// The search list's entry for one card: its number, two blanks, its contact
// name. SELECT finds a card by comparing this text with the combo box's.
QString searchEntry(const QString& recordNumber, const QString& contact);

// Sorts entries by text, not by number ("10  ..." before "2  ..."), ignoring
// letter case; entries equal but for case keep a fixed order by exact text.
// The search list's own order (sortedOrder), for entries held as strings.
void sortSearchEntries(QStringList& entries);

} // namespace kestrix
