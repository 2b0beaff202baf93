// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QString>

namespace kestrix::bench {

// The card numbered `number` (1 = first) of the benchmark's card files: the
// same every time, with field lengths like a real address book's, a two-line
// memo on every tenth card and accented letters in some names.
CardRecord generatedCard(int number);

// The contact name of card `number`, to pick cards to replace or delete.
QString generatedContact(int number);

// Writes a card file of `count` generated cards to `path`, streaming.
bool writeGeneratedCardFile(const QString& path, int count);

} // namespace kestrix::bench
