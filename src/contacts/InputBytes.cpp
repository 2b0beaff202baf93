// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "InputBytes.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

namespace {

// Read from the source this much at a time at most: large enough that a call
// costs nothing beside the copy, small enough to keep the buffer small.
constexpr qsizetype kStretch = 64 * 1024;

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

// Two pointers, small enough for the function to hold without a heap
// allocation of its own.
ByteSource sourceOf(QByteArrayView bytes)
{
    return [at = bytes.data(), end = bytes.data() + bytes.size()](char* buffer, qsizetype capacity) mutable {
        const qsizetype count = std::min<qsizetype>(capacity, end - at);
        if (count > 0) std::memcpy(buffer, at, static_cast<std::size_t>(count));
        at += count;
        return count;
    };
}

TextInput::TextInput(ByteSource source) : source_(std::move(source)) {}

TextInput::TextInput(QByteArrayView text) : form_(Form::EightBit), data_(text.data()), end_(text.size()), ended_(true)
{}

bool TextInput::want(qsizetype count)
{
    while (end_ - start_ < count)
        if (!fill()) return false;
    return true;
}

qsizetype TextInput::readSource(char* into, qsizetype capacity)
{
    if (ended_) return 0;
    const qsizetype got = source_(into, capacity);
    if (got < 0) failed_ = true;
    if (got <= 0) {
        ended_ = true;
        return 0;
    }
    consumed_ += got;
    return got;
}

bool TextInput::fill()
{
    if (ended_) return false;
    // What was taken goes once it is half the buffer, so the buffer stays
    // near the most that is looked at at once.
    if (start_ > 0 && start_ >= end_ / 2) {
        // Moved within the buffer: removing from the front would leave the
        // room there, and the buffer would grow into more and more.
        end_ -= start_;
        std::memmove(text_.data(), text_.constData() + start_, static_cast<std::size_t>(end_));
        text_.resize(end_);
        start_ = 0;
    }
    const qint64 before = consumed_;
    const qsizetype sizeBefore = end_;
    // What the buffer has room for is read first: a short text needs no
    // second buffer to find its end.
    const qsizetype size = text_.size();
    const qsizetype room = text_.capacity() > size ? std::min(text_.capacity() - size, kStretch) : stretch_;
    if (form_ == Form::Utf16LE || form_ == Form::Utf16BE) {
        raw_.resize(room);
        appendUtf16(QByteArrayView(raw_).first(readSource(raw_.data(), room)));
        if (ended_) finishUtf16();
    } else {
        text_.resize(size + room);
        text_.resize(size + readSource(text_.data() + size, room));
        if (form_ == Form::Unknown) decideForm();
    }
    if (room == stretch_) stretch_ = std::min(2 * stretch_, kStretch);
    data_ = text_.constData();
    end_ = form_ == Form::Unknown ? 0 : text_.size(); // what may be a byte order mark is no text yet
    return consumed_ > before || end_ > sizeBefore;
}

// Told by the first three bytes, read into the text as if it were 8-bit.
void TextInput::decideForm()
{
    if (text_.size() < 3 && !ended_) return;
    const QByteArrayView start(text_);
    if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF")) {
        form_ = start.startsWith("\xFF\xFE") ? Form::Utf16LE : Form::Utf16BE;
        raw_ = text_.sliced(2);
        text_.resize(0);
        appendUtf16(raw_);
        if (ended_) finishUtf16();
        return;
    }
    form_ = Form::EightBit;
    if (start.startsWith("\xEF\xBB\xBF")) text_.remove(0, 3);
}

void TextInput::appendUtf16(QByteArrayView raw)
{
    // At most three bytes of UTF-8 a unit, four a pair, six for a unit after
    // a lone high surrogate; room for a few more for what was left waiting.
    const qsizetype size = text_.size();
    text_.resize(size + (raw.size() / 2 + 4) * 3);
    written_ = size;
    auto unit = [this](unsigned char first, unsigned char second) -> char32_t {
        return form_ == Form::Utf16LE ? char32_t(first | second << 8) : char32_t(first << 8 | second);
    };
    auto take = [this](char32_t u) {
        if (pendingHigh_ != 0) {
            const char32_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (isLowSurrogate(u)) {
                appendCodePoint(0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
                return;
            }
            appendCodePoint(0xFFFD);
        }
        if (u == 0xFFFE)
            form_ = form_ == Form::Utf16LE ? Form::Utf16BE : Form::Utf16LE;
        else if (isHighSurrogate(u))
            pendingHigh_ = static_cast<char16_t>(u);
        else
            appendCodePoint(isLowSurrogate(u) ? 0xFFFD : u);
    };
    qsizetype i = 0;
    if (pendingByte_ >= 0 && !raw.isEmpty()) {
        take(unit(static_cast<unsigned char>(pendingByte_), static_cast<unsigned char>(raw[0])));
        pendingByte_ = -1;
        i = 1;
    }
    for (; i + 1 < raw.size(); i += 2)
        take(unit(static_cast<unsigned char>(raw[i]), static_cast<unsigned char>(raw[i + 1])));
    if (i < raw.size()) pendingByte_ = static_cast<unsigned char>(raw[i]);
    text_.resize(written_);
}

// Writes at written_, within the room appendUtf16 made.
void TextInput::appendCodePoint(char32_t c)
{
    char* out = text_.data() + written_;
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | c >> 12);
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | c >> 18);
        *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    written_ = out - text_.data();
}

// Half a unit or half a pair at the end is no character.
void TextInput::finishUtf16()
{
    if (pendingByte_ < 0 && pendingHigh_ == 0) return;
    pendingByte_ = -1;
    pendingHigh_ = 0;
    const qsizetype size = text_.size();
    text_.resize(size + 3);
    written_ = size;
    appendCodePoint(0xFFFD);
    text_.resize(written_);
}

} // namespace kestrix
