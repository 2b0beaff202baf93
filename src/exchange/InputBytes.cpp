// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "InputBytes.h"

#include <QStringDecoder>

namespace kestrix {

QByteArrayView asEightBitText(QByteArrayView bytes, QByteArray& storage)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) return bytes.sliced(3);
    const bool littleEndian = bytes.startsWith("\xFF\xFE");
    if (littleEndian || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(littleEndian ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        storage = QString(utf16.decode(bytes.sliced(2))).toUtf8();
        return storage;
    }
    return bytes;
}

} // namespace kestrix
