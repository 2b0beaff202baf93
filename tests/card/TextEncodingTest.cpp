// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "card/TextEncoding.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(TextEncoding, DecodesUtf8AndFallsBackToWindows1252PerItem)
{
    EXPECT_EQ(decodeItem("Ann Lee"), QStringLiteral("Ann Lee"));
    EXPECT_EQ(decodeItem("Caf\xC3\xA9"), QStringLiteral("Café"));
    // Windows-1252 bytes of "Café": the invalid byte is the last one, which a
    // decoder that waits for more input would silently drop.
    EXPECT_EQ(decodeItem("Caf\xE9"), QStringLiteral("Café"));
    EXPECT_EQ(decodeItem("\x80 5"), QString(QChar(0x20AC)) + QStringLiteral(" 5"));
    EXPECT_EQ(decodeItem("M\xFCller \x96 \x93Q\x94"), QStringLiteral("Müller \u2013 \u201CQ\u201D"));
    EXPECT_EQ(decodeItem(""), QString());
}

TEST(TextEncoding, MemoLineBreaksAreLineFeedsInTheEditorAndCrLfOnDisk)
{
    EXPECT_EQ(decodeItem("one\r\ntwo\r\n"), QStringLiteral("one\ntwo\n"));
    EXPECT_EQ(encodeField(QStringLiteral("one\ntwo")), QByteArray("one\r\ntwo"));
    EXPECT_EQ(encodeField(QStringLiteral("one\r\ntwo")), QByteArray("one\r\ntwo"));
    EXPECT_EQ(encodeField(QStringLiteral("Zoë")), QByteArray("Zo\xC3\xAB"));
    EXPECT_EQ(decodeItem(encodeField(QStringLiteral("a\nb\n\nc"))), QStringLiteral("a\nb\n\nc"));
}

TEST(TextEncoding, Windows1252TableAgreesWithTheToolkitCodec)
{
    QStringDecoder codec("windows-1252", QStringDecoder::Flag::Stateless);
    if (!codec.isValid()) GTEST_SKIP() << "the toolkit has no Windows-1252 codec here";
    QByteArray every;
    for (int byte = 0; byte < 256; ++byte) every.append(static_cast<char>(byte));
    const QString byTable = decodeWindows1252(every);
    const QString byCodec = codec.decode(every);
    ASSERT_EQ(byTable.size(), 256);
    ASSERT_EQ(byCodec.size(), 256);
    for (int byte = 0; byte < 256; ++byte) {
        // The five bytes Windows-1252 leaves undefined may differ between codecs.
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D) continue;
        EXPECT_EQ(byTable[byte], byCodec[byte]) << "byte " << byte;
    }
    EXPECT_EQ(byTable[0x80], QChar(0x20AC));
    EXPECT_EQ(byTable[0x9F], QChar(0x0178));
    EXPECT_EQ(byTable[0xE9], QChar(0x00E9));
}

} // namespace
} // namespace kestrix
