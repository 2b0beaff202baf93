// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardLines.h"

#include <algorithm>
#include <cstring>

namespace kestrix {

namespace {

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");
constexpr QByteArrayView kQuotedPrintable("QUOTED-PRINTABLE");

// Only so much is read ahead for the END:VCARD a soft line break may stand
// before; a longer line is no END:VCARD.
constexpr qsizetype kLongestEndLine = 4096;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView withoutTrailingBlanks(QByteArrayView line)
{
    while (!line.isEmpty() && (isBlank(line.back()) || line.back() == '\r')) line.chop(1);
    return line;
}

} // namespace

bool VCardLineReader::next(QByteArray& into, VCardLine& line)
{
    into_ = &into;
    line.start = into.size();
    line.size = 0;
    line.cut = line.dropped = false;
    head_ = Head::Name;
    quoted_ = quotedPrintable_ = filterAsked_ = false;
    encodingMatched_ = 0;
    valueBytes_ = 0;
    logicalSize_ = 0;
    tailSize_ = 0;

    if (input_.want(kByteOrderMark.size()) && input_.buffered().startsWith(kByteOrderMark))
        input_.take(kByteOrderMark.size());
    if (!input_.want(1)) return false;
    for (;;) {
        readPhysicalLine(line);
        if (!input_.want(1)) break;
        if (endsInSoftBreak()) {
            // A broken writer may end a card inside a value; the card's end
            // is not part of it.
            if (nextLineEndsCard()) break;
            dropSoftBreak(line);
        } else if (isBlank(input_.buffered().front())) {
            if (!keepFoldingBlank_) input_.take(1);
        } else {
            break;
        }
    }
    if (head_ == Head::Value && !filterAsked_) askFilter(line);
    return true;
}

// Appends the physical line to `line` a buffer at a time, so a line longer
// than the buffer is never held whole here.
void VCardLineReader::readPhysicalLine(VCardLine& line)
{
    for (;;) {
        const QByteArrayView buffered = input_.buffered();
        const qsizetype lineFeed = buffered.indexOf('\n');
        if (lineFeed >= 0 || input_.ended()) {
            const qsizetype end = lineFeed >= 0 ? lineFeed : buffered.size();
            const bool carriageReturn = end > 0 && buffered[end - 1] == '\r';
            append(buffered.first(end - (carriageReturn ? 1 : 0)), line);
            input_.take(lineFeed >= 0 ? end + 1 : end);
            return;
        }
        // A CR at the end may be the first half of a CR LF.
        const qsizetype length = buffered.size() - (buffered.endsWith('\r') ? 1 : 0);
        append(buffered.first(length), line);
        input_.take(length);
        input_.fill();
    }
}

void VCardLineReader::append(QByteArrayView piece, VCardLine& line)
{
    logicalSize_ += piece.size();
    if (piece.size() >= kTailBytes) {
        std::memcpy(tail_, piece.data() + piece.size() - kTailBytes, kTailBytes);
        tailSize_ = kTailBytes;
    } else if (!piece.isEmpty()) {
        const qsizetype kept = std::min(tailSize_, kTailBytes - piece.size());
        std::memmove(tail_, tail_ + tailSize_ - kept, static_cast<std::size_t>(kept));
        std::memcpy(tail_ + kept, piece.data(), static_cast<std::size_t>(piece.size()));
        tailSize_ = kept + piece.size();
    }
    if (head_ != Head::Value) {
        const qsizetype colon = valueColonIn(piece);
        if (colon < 0) {
            hold(piece, line);
            return;
        }
        hold(piece.first(colon + 1), line);
        piece = piece.sliced(colon + 1);
    }
    if (line.dropped) return;
    if (!filterAsked_) {
        const qsizetype seen = std::min(kValueBytesSeen - valueBytes_, piece.size());
        hold(piece.first(seen), line);
        valueBytes_ += seen;
        piece = piece.sliced(seen);
        if (valueBytes_ < kValueBytesSeen) return;
        askFilter(line);
        if (line.dropped) return;
    }
    hold(piece, line);
}

void VCardLineReader::hold(QByteArrayView piece, VCardLine& line)
{
    line.size += piece.size();
    if (line.cut) return;
    const qsizetype room = std::max<qsizetype>(0, limit_ - held(line));
    if (piece.size() > room) {
        into_->append(piece.first(room));
        line.cut = true;
        return;
    }
    into_->append(piece);
}

// Where in `piece` the colon before the value stands, if it does; on the
// way, whether the name and parameters name quoted-printable. Each byte is
// looked at once, however the line is folded.
qsizetype VCardLineReader::valueColonIn(QByteArrayView piece)
{
    const char* const data = piece.data();
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char c = data[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        // The word's first letter stands nowhere else in it.
        encodingMatched_ = upper == kQuotedPrintable[encodingMatched_] ? encodingMatched_ + 1 : upper == 'Q' ? 1 : 0;
        if (encodingMatched_ == kQuotedPrintable.size()) {
            quotedPrintable_ = true;
            encodingMatched_ = 0;
        }
        if (head_ == Head::Name && c == ';') {
            head_ = Head::Parameters;
        } else if (head_ == Head::Parameters && c == '"') {
            quoted_ = !quoted_;
        } else if (c == ':' && !quoted_) {
            head_ = Head::Value;
            return i;
        }
    }
    return -1;
}

void VCardLineReader::askFilter(VCardLine& line)
{
    filterAsked_ = true;
    if (filter_ && !line.cut && filter_(line.in(*into_))) line.dropped = true;
}

bool VCardLineReader::endsInSoftBreak() const
{
    return quotedPrintable_ && head_ == Head::Value && tailSize_ > 0 && tail_[tailSize_ - 1] == '=';
}

void VCardLineReader::dropSoftBreak(VCardLine& line)
{
    // What is held is the line's start; the "=" is in it when all is held.
    const bool all = held(line) == logicalSize_;
    if (all) into_->chop(1);
    if (all || !line.dropped) --line.size;
    if (!filterAsked_) --valueBytes_;
    --logicalSize_;
    if (tailSize_ > 0) --tailSize_;
}

bool VCardLineReader::nextLineEndsCard()
{
    for (qsizetype want = 64;; want *= 2) {
        const bool enough = input_.want(want);
        const QByteArrayView ahead = input_.buffered().first(std::min(want, input_.buffered().size()));
        const qsizetype lineFeed = ahead.indexOf('\n');
        if (lineFeed >= 0) return isEndVCard(ahead.first(lineFeed));
        if (!enough) return isEndVCard(ahead);
        if (want >= kLongestEndLine) return false;
    }
}

bool parseContentLine(QByteArrayView line, VCardProperty& property)
{
    property = VCardProperty();
    qsizetype at = 0;
    const qsizetype size = line.size();
    // The name, and the group before it.
    while (at < size && line[at] != ';' && line[at] != ':') ++at;
    const QByteArrayView fullName = line.first(at);
    const qsizetype dot = fullName.indexOf('.');
    property.group = dot < 0 ? QByteArrayView() : fullName.first(dot);
    property.name = dot < 0 ? fullName : fullName.sliced(dot + 1);
    while (at < size && line[at] == ';') {
        ++at;
        VCardParameter parameter;
        const qsizetype start = at;
        qsizetype equals = -1;
        bool quoted = false;
        while (at < size && (quoted || (line[at] != ';' && line[at] != ':'))) {
            if (line[at] == '"') quoted = !quoted;
            if (line[at] == '=' && equals < 0 && !quoted) equals = at;
            ++at;
        }
        QByteArrayView value;
        if (equals < 0) {
            value = line.sliced(start, at - start);
        } else {
            parameter.name = line.sliced(start, equals - start);
            value = line.sliced(equals + 1, at - equals - 1);
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.sliced(1, value.size() - 2);
        parameter.value = value;
        if (!parameter.name.isEmpty() || !parameter.value.isEmpty()) property.parameters.append(parameter);
    }
    if (at >= size || line[at] != ':') return false;
    property.value = line.sliced(at + 1);
    return !property.name.isEmpty();
}

bool isBeginVCard(QByteArrayView line)
{
    return withoutTrailingBlanks(line).compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0;
}

bool isEndVCard(QByteArrayView line)
{
    return withoutTrailingBlanks(line).compare("END:VCARD", Qt::CaseInsensitive) == 0;
}

} // namespace kestrix
