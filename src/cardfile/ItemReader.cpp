// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ItemReader.h"

#include "files/SystemCalls.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrix {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isSeparator(char c)
{
    return c == ',' || c == '\r' || c == '\n';
}

} // namespace

ItemReader::ItemReader(int fd, QString fileName, qsizetype bufferSize)
    : fd_(fd),
      fileName_(std::move(fileName)),
      buffer_(std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(bufferSize))),
      bufferSize_(bufferSize)
{}

bool ItemReader::fill()
{
    bufferStart_ += end_;
    pos_ = end_ = 0;
    while (!exhausted_) {
        const ssize_t got = sys::read(fd_, buffer_.get(), static_cast<std::size_t>(bufferSize_));
        if (got > 0) {
            end_ = got;
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) status_ = FileStatus::fromErrno(fileName_, errno);
        exhausted_ = true;
    }
    return false;
}

bool ItemReader::available()
{
    return pos_ < end_ || fill();
}

QByteArrayView ItemReader::window()
{
    if (!available()) return {};
    return QByteArrayView(buffer_.get() + pos_, end_ - pos_);
}

bool ItemReader::atEnd()
{
    while (available()) {
        const char c = buffer_[pos_];
        if (!isBlank(c) && c != '\r' && c != '\n') return false;
        ++pos_;
    }
    return true;
}

bool ItemReader::readItem(QByteArray& out)
{
    while (available() && isBlank(buffer_[pos_])) ++pos_;
    if (!available()) return false;
    if (buffer_[pos_] == '"') {
        ++pos_;
        if (readQuotedRest(out))
            passSeparator();
        else
            lastItemEnd_ = ItemEnd::OpenQuote;
    } else {
        readUnquoted(out);
    }
    return true;
}

bool ItemReader::readQuotedRest(QByteArray& out)
{
    while (available()) {
        const char* from = buffer_.get() + pos_;
        const auto* quote = static_cast<const char*>(std::memchr(from, '"', end_ - pos_));
        if (quote) {
            out.append(from, quote - from);
            pos_ += (quote - from) + 1;
            return true;
        }
        out.append(from, end_ - pos_);
        pos_ = end_;
    }
    // An unterminated quote runs to the end of the data.
    return false;
}

qsizetype ItemReader::findSeparator() const
{
    qsizetype at = pos_;
    while (at < end_ && !isSeparator(buffer_[at])) ++at;
    return at;
}

// Moves past the next comma or line end, dropping what stands before it.
void ItemReader::passSeparator()
{
    while (available()) {
        pos_ = findSeparator();
        if (pos_ == end_) continue;
        const char separator = buffer_[pos_++];
        if (separator == '\r' && available() && buffer_[pos_] == '\n') ++pos_;
        lastItemEnd_ = ItemEnd::Separator;
        return;
    }
    lastItemEnd_ = ItemEnd::EndOfData;
}

void ItemReader::readUnquoted(QByteArray& out)
{
    const qsizetype start = out.size();
    while (available()) {
        const qsizetype stop = findSeparator();
        out.append(buffer_.get() + pos_, stop - pos_);
        pos_ = stop;
        if (stop < end_) break;
    }
    passSeparator();
    qsizetype kept = out.size();
    while (kept > start && isBlank(out[kept - 1])) --kept;
    out.truncate(kept);
}

} // namespace kestrix
