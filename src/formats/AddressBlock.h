// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QString>

namespace kestrix {

// A card as plain text, for the clipboard: company, contact, the address
// lines, "City, ST ZIP", the phones and the e-mail address each with its
// label, then the memo after a blank line. Empty fields leave no line;
// lines end in a line feed. The same card as a vCard comes from
// appendVCard.
QString addressBlock(const CardRecord& card);

} // namespace kestrix
