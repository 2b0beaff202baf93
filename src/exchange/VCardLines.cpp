// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardLines.h"

#include <cstring>

namespace kestrix {

namespace {

bool containsNoCase(QByteArrayView text, QByteArrayView word)
{
    for (qsizetype at = 0; at + word.size() <= text.size(); ++at)
        if (text.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A quoted-printable value's line that ends in "=" goes on: the encoding is
// named before the value's colon.
bool endsInSoftBreak(QByteArrayView line)
{
    if (line.isEmpty() || line.back() != '=') return false;
    const qsizetype colon = line.indexOf(':');
    return colon > 0 && containsNoCase(line.first(colon), "QUOTED-PRINTABLE");
}

QByteArrayView withoutTrailingBlanks(QByteArrayView line)
{
    while (!line.isEmpty() && (isBlank(line.back()) || line.back() == '\r')) line.chop(1);
    return line;
}

} // namespace

QByteArrayView VCardLineReader::physicalLine()
{
    const char* start = bytes_.data() + at_;
    const auto* lineFeed = static_cast<const char*>(std::memchr(start, '\n', bytes_.size() - at_));
    qsizetype length = lineFeed ? lineFeed - start : bytes_.size() - at_;
    at_ += lineFeed ? length + 1 : length;
    if (length > 0 && start[length - 1] == '\r') --length;
    return QByteArrayView(start, length);
}

bool VCardLineReader::next(QByteArray& line)
{
    if (at_ >= bytes_.size()) return false;
    const QByteArrayView first = physicalLine();
    line = QByteArray::fromRawData(first.data(), first.size());
    for (;;) {
        if (at_ >= bytes_.size()) break;
        if (endsInSoftBreak(line)) {
            // A broken writer may end a card inside a value; the card's end
            // is not part of it.
            const qsizetype before = at_;
            const QByteArrayView more = physicalLine();
            if (isEndVCard(more)) {
                at_ = before;
                break;
            }
            line.chop(1);
            line.append(more);
        } else if (isBlank(bytes_[at_])) {
            const QByteArrayView more = physicalLine();
            line.append(keepFoldingBlank_ ? more : more.sliced(1));
        } else {
            break;
        }
    }
    return true;
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
