// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardReader.h"

#include "ContactReader.h"
#include "vcard/VCardStream.h"

namespace kestrix {

ImportResult readVCards(QByteArrayView bytes)
{
    return readWhole(bytes, ExchangeFormat::VCard4);
}

std::optional<ContentKind> leadingVCardVersion(QByteArrayView bytes)
{
    TextInput input(sourceOf(bytes));
    return leadingVCardVersionIn(input, false);
}

} // namespace kestrix
