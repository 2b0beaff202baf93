// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrix {

// The bytes of a file to import as UTF-8 or 8-bit text: a UTF-8 byte order
// mark dropped, and UTF-16 (told by its byte order mark, as some Windows
// programs write it) converted to UTF-8 in `storage`.
QByteArrayView asEightBitText(QByteArrayView bytes, QByteArray& storage);

} // namespace kestrix
