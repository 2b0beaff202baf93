// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "files/FileStatus.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kestrix {

// Reads the item stream of a card or counter file from an open file
// descriptor, a buffer at a time, so memory never grows with the file.
//
// Commas and line ends (CR LF, LF or CR) separate items. An item that starts
// with a double quote runs to the next double quote, line breaks included;
// whatever follows up to the next comma or line end is passed over. Any other
// item (hand-edited files) runs to the next comma or line end, without its
// leading and trailing blanks.
class ItemReader {
public:
    static constexpr qsizetype kDefaultBufferSize = 256 * 1024;

    // Does not take ownership of `fd`; `fileName` is used in error reports.
    ItemReader(int fd, QString fileName, qsizetype bufferSize = kDefaultBufferSize);

    // Passes over blank lines and blanks; true when nothing else is left, or
    // when reading failed (see status()).
    bool atEnd();

    // Appends the next item's bytes to `out`. False, with `out` untouched,
    // when the data ends before another item starts.
    bool readItem(QByteArray& out);

    // The bytes read ahead and not yet taken, refilled first when none are
    // left; empty at the end of the data. For callers that parse a whole
    // stretch at once and then consume() it.
    QByteArrayView window();
    void consume(qsizetype count) { pos_ += count; }

    // Where in the data the next byte to take lies.
    qint64 position() const { return bufferStart_ + pos_; }

    // Success, or the read error that ended the stream early.
    const FileStatus& status() const { return status_; }

    // How the item readItem() last read came to its end: at a comma or line
    // end; at the end of the data, after a closing quote or inside an unquoted
    // item; or at the end of the data inside a quote that was never closed.
    // What must be written after the data to start a new item depends on it.
    enum class ItemEnd { Separator, EndOfData, OpenQuote };
    ItemEnd lastItemEnd() const { return lastItemEnd_; }

private:
    bool available();
    bool fill();
    // False when the data ends before the closing quote.
    bool readQuotedRest(QByteArray& out);
    void readUnquoted(QByteArray& out);
    void passSeparator();
    qsizetype findSeparator() const;

    int fd_;
    QString fileName_;
    std::unique_ptr<char[]> buffer_; // left uninitialised: read() fills it
    qsizetype bufferSize_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    qint64 bufferStart_ = 0; // where in the data the buffer's first byte lies
    bool exhausted_ = false;
    ItemEnd lastItemEnd_ = ItemEnd::Separator;
    FileStatus status_ = FileStatus::success();
};

} // namespace kestrix
