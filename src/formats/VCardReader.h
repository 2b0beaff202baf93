// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ExchangeFormat.h"
#include "contacts/ImportReport.h"

#include <QByteArrayView>

#include <optional>

namespace kestrix {

// Reads every vCard in `bytes`: versions 2.1, 3.0 and 4.0, mixed in one file,
// as phones, mail programs and address books write them (see
// docs/exchange-mapping.md for what goes into which box). Each card comes
// with an empty record number; cards not taken whole are named in the
// report. Content without a single BEGIN:VCARD is not recognised. The whole
// of `bytes` at once; ContactReader reads a card at a time.
ImportResult readVCards(QByteArrayView bytes);

// The version of the first vCard, when the content (after any blank lines)
// starts with one; nothing otherwise.
std::optional<ContentKind> leadingVCardVersion(QByteArrayView bytes);

} // namespace kestrix
