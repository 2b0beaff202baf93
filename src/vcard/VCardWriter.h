// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"
#include "contacts/ExchangeFormat.h"

#include <QByteArray>

namespace kestrix {

// Appends `card` to `out` as one vCard: 4.0, or 3.0 for older phones (any
// other format counts as 4.0). UTF-8, CR LF, lines folded at 75 octets
// without splitting a character, text escaped as the standard asks. The
// record number goes into no property of its own; with the contact it makes
// the card's UID (exportUid). Read back by readVCards, every field but the
// number comes back exactly (docs/exchange-mapping.md says how).
void appendVCard(QByteArray& out, const CardRecord& card, ExchangeFormat version);

} // namespace kestrix
