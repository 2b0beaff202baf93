// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kestrix {

// Whether `wanted` is the search list's entry of a card (its number, two
// blanks, its contact name), where `storedContact` is the contact item's
// bytes as stored. SELECT loads the card whose entry is the combo box's text.
// Builds no entry, and decodes the contact only where its bytes are not
// already its text.
bool entryEquals(QStringView wanted, const QString& recordNumber, QByteArrayView storedContact);

} // namespace kestrix
