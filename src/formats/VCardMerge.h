// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"
#include "contacts/ExchangeFormat.h"

#include <QByteArray>
#include <QByteArrayView>

namespace kestrix {

// `server`, one vCard as a CardDAV server holds it, saying what `card`'s
// boxes say: the properties the import takes into the boxes (the first FN,
// N, ORG and NOTE, the TELs, EMAIL and ADR that fill a box, and KIND where
// the export writes one) give way to those the export writes for `card`,
// and every other property stays byte for byte where it stood, so a sync
// keeps what a phone holds beside the boxes (a photo, more numbers and
// addresses, labels, its own properties). Imported, the result gives
// `card` back in fields 1 to 13; where `card` is what `server` imports to
// already, `server` comes back unchanged. The properties written anew are
// in `format` (VCard4 or VCard3), which should be the server's version.
//
// Memo lines that the server's kept properties give are taken out of the
// note where the memo still holds them; where the user changed them, those
// properties give way to what the export makes of the memo instead. What
// would not import as `card` is never given: where no merge does (a 2.1
// vCard, whose lines the export cannot write), the export of `card` alone.
QByteArray mergeCardIntoVCard(QByteArrayView server, const CardRecord& card, ExchangeFormat format);

} // namespace kestrix
