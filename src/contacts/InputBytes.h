// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ByteSource.h"

#include <QByteArray>
#include <QByteArrayView>

namespace kestrix {

// The text of a file to import, as UTF-8 or 8-bit bytes, read from its
// source a stretch at a time: a UTF-8 byte order mark at the start dropped,
// and UTF-16 (told by its byte order mark, as some Windows programs write
// it) converted to UTF-8 as it comes. Inside UTF-16, a byte order mark of the
// other order (another file joined on) turns the order round; one of the
// same order stays U+FEFF, which the readers drop at a line's start.
class TextInput {
public:
    explicit TextInput(ByteSource source);
    // Text already converted, read as it stands: for looking at a stretch
    // of the input again.
    explicit TextInput(QByteArrayView text);

    // What is buffered and not yet taken.
    QByteArrayView buffered() const { return QByteArrayView(data_ + start_, end_ - start_); }
    // Reads until at least `count` bytes are buffered; false when the
    // content ends (or the source fails) before.
    bool want(qsizetype count);
    // Reads one more stretch; false when nothing more comes.
    bool fill();
    void take(qsizetype count) { start_ += count; }

    bool ended() const { return ended_; } // the source gave all it has: what is buffered is the rest
    bool failed() const { return failed_; }
    qint64 consumed() const { return consumed_; }

private:
    enum class Form { Unknown, EightBit, Utf16LE, Utf16BE };

    qsizetype readSource(char* into, qsizetype capacity);
    void decideForm();
    void appendUtf16(QByteArrayView raw);
    void appendCodePoint(char32_t codePoint);
    void finishUtf16();

    ByteSource source_;
    Form form_ = Form::Unknown;
    QByteArray text_;
    QByteArray raw_;
    const char* data_ = nullptr;
    qsizetype start_ = 0, end_ = 0;
    qsizetype written_ = 0;   // where UTF-16 converted goes in text_
    qsizetype stretch_ = 256; // the next read's size, doubling: a short text needs no large buffer
    qint64 consumed_ = 0;
    bool ended_ = false, failed_ = false;
    // UTF-16 read so far: a byte waiting for its pair, a high surrogate
    // waiting for its low one.
    int pendingByte_ = -1;
    char16_t pendingHigh_ = 0;
};

} // namespace kestrix
