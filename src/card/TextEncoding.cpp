// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "TextEncoding.h"

#include <QUtf8StringView>

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Windows-1252 differs from Latin-1 only here. The five bytes it leaves
// undefined keep their Latin-1 (C1 control) meaning, as Windows itself does.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString withLineFeeds(QString text)
{
    if (text.contains(QLatin1Char('\r'))) text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(kHighControlRange[byte - 0x80]) : QChar(char16_t(byte));
    }
    return text;
}

QString decodeItem(QByteArrayView bytes)
{
    if (isAscii(bytes)) return withLineFeeds(QString::fromLatin1(bytes));

    // A stateless decoder reports a trailing incomplete sequence as an error
    // instead of silently holding it back for more input. A byte order mark
    // at the start of an item is the user's text, not a marker to drop.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = decodeWindows1252(bytes);
    return withLineFeeds(std::move(text));
}

bool decodesToItself(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\r'; });
}

bool isUtf8OfItsText(QByteArrayView bytes)
{
    // What decodeItem changes is a CR LF, and only invalid UTF-8 is read as
    // a code page.
    return decodesToItself(bytes)
        || (!bytes.contains('\r') && QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8());
}

bool itemEquals(QByteArrayView bytes, QStringView text)
{
    if (decodesToItself(bytes)) return QLatin1String(bytes.data(), bytes.size()) == text;
    return decodeItem(bytes) == text;
}

ItemMatcher::ItemMatcher(QString text) : text_(std::move(text)), stored_(encodeField(text_)) {}

bool ItemMatcher::matches(QByteArrayView bytes) const
{
    if (bytes == QByteArrayView(stored_)) return true;
    // Valid UTF-8 without a line feed decodes to the text only when its bytes
    // are the text's stored bytes: a line break stored as a lone LF, or an
    // older file's 8-bit code page, is what decoding is left for.
    if (!bytes.contains('\n') && QUtf8StringView(bytes.data(), bytes.size()).isValidUtf8()) return false;
    return itemEquals(bytes, text_);
}

void decodeItemInto(QByteArrayView bytes, QString& text)
{
    if (!decodesToItself(bytes)) {
        text = decodeItem(bytes);
        return;
    }
    text.resize(bytes.size());
    QChar* out = text.data();
    for (char c : bytes) *out++ = QLatin1Char(c);
}

qsizetype decodeAsLatin1(QByteArrayView bytes, char* out)
{
    char* to = out;
    const char* from = bytes.data();
    const char* const end = from + bytes.size();
    while (from != end) {
        const auto byte = static_cast<unsigned char>(*from++);
        if (byte < 0x80 && byte != '\r') {
            *to++ = static_cast<char>(byte);
            continue;
        }
        // C2 and C3 lead the two-byte forms of U+0080 to U+00FF; anything
        // else is left to decodeItem.
        const bool latin1Pair =
            (byte == 0xC2 || byte == 0xC3) && from != end && (static_cast<unsigned char>(*from) & 0xC0) == 0x80;
        if (!latin1Pair) return -1;
        *to++ = static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(*from++) & 0x3F));
    }
    return to - out;
}

QByteArray encodeField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains('\n')) return bytes;
    bytes.replace("\r\n", "\n");
    bytes.replace("\n", "\r\n");
    return bytes;
}

char* appendUtf8Of(QStringView text, qsizetype& i, char* out)
{
    char32_t code = text[i].unicode();
    if (code < 0x80) {
        *out++ = static_cast<char>(code);
        return out;
    }
    if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(static_cast<char16_t>(code), text[++i].unicode());
    else if (QChar::isSurrogate(code))
        code = QChar::ReplacementCharacter;
    if (code < 0x800) {
        *out++ = static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (code >> 12));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (code >> 18));
        *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
    return out;
}

} // namespace kestrix
