// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PropertyWriter.h"

#include "card/TextEncoding.h"

#include <vector>

namespace kestrix::vcard {

namespace {

constexpr qsizetype kLineOctets = 75;

// Appends a content line's bytes, folding before any character that would
// pass the 75th octet of its line; a continuation starts with a blank.
class FoldedLine {
public:
    explicit FoldedLine(char* at) : at_(at) {}

    char* end() const { return at_; }

    void byte(char c)
    {
        if (column_ == room_) fold();
        *at_++ = c;
        ++column_;
    }

    // A character's UTF-8 sequence, kept on one line.
    void sequence(const char* bytes, int count)
    {
        if (column_ + count > room_) fold();
        for (int i = 0; i < count; ++i) *at_++ = bytes[i];
        column_ += count;
    }

private:
    void fold()
    {
        *at_++ = '\r';
        *at_++ = '\n';
        *at_++ = ' ';
        column_ = 0;
        room_ = kLineOctets - 1;
    }

    char* at_;
    qsizetype column_ = 0;
    qsizetype room_ = kLineOctets;
};

// The most bytes a line of these parts can take once encoded, escaped and
// folded: three octets a UTF-16 unit at most, a fold every 74.
qsizetype mostOctets(QByteArrayView head, std::span<const QStringView> components)
{
    qsizetype octets = head.size() + 1 + static_cast<qsizetype>(components.size());
    for (QStringView component : components) octets += 3 * component.size();
    return octets + 3 * (octets / (kLineOctets - 1) + 1) + 2;
}

} // namespace

void PropertyWriter::write(QByteArrayView head, std::initializer_list<QStringView> components, bool keepCommas,
                           bool keepSemicolons)
{
    keepCommas_ = keepCommas;
    keepSemicolons_ = keepSemicolons;
    const std::span parts(components.begin(), components.size());
    if (!writeDirect(head, parts)) writeWithCarriageReturns(head, parts);
}

void PropertyWriter::write(QByteArrayView head, const QStringList& components)
{
    keepCommas_ = keepSemicolons_ = false;
    const std::vector<QStringView> parts(components.begin(), components.end());
    if (!writeDirect(head, parts)) writeWithCarriageReturns(head, parts);
}

void PropertyWriter::writeRaw(QByteArrayView line)
{
    out_.append(line);
    out_.append("\r\n");
}

// Encodes, escapes and folds in one pass straight into the buffer. False,
// the buffer as it was, for a value holding a CR, which needs a parameter
// ahead of the value.
bool PropertyWriter::writeDirect(QByteArrayView head, std::span<const QStringView> components)
{
    const qsizetype mark = out_.size();
    out_.resize(mark + mostOctets(head, components));
    FoldedLine line(out_.data() + mark);
    for (char c : head) line.byte(c);
    line.byte(':');
    bool first = true;
    for (QStringView component : components) {
        if (!first) line.byte(';');
        first = false;
        for (qsizetype i = 0; i < component.size(); ++i) {
            const char16_t unit = component[i].unicode();
            if (unit >= 0x80) {
                char bytes[4];
                line.sequence(bytes, static_cast<int>(appendUtf8Of(component, i, bytes) - bytes));
                continue;
            }
            const char c = static_cast<char>(unit);
            if (c == '\r') {
                out_.truncate(mark);
                return false;
            }
            if (c == '\\' || (c == ',' && !keepCommas_) || (c == ';' && !keepSemicolons_) || c == '\n') {
                line.byte('\\');
                line.byte(c == '\n' ? 'n' : c);
            } else {
                line.byte(c);
            }
        }
    }
    *line.end() = '\r';
    *(line.end() + 1) = '\n';
    out_.truncate(line.end() + 2 - out_.constData());
    return true;
}

// A CR (never stored but by an old hand-edited file) is written as a line
// break too, and its place noted in a parameter, so no reader takes it for
// the end of a line and this one puts the CR back.
void PropertyWriter::writeWithCarriageReturns(QByteArrayView head, std::span<const QStringView> components)
{
    QByteArray carriageReturns;
    int lineBreaks = 0;
    std::vector<QString> values;
    for (QStringView component : components) {
        QString value = component.toString();
        for (QChar& c : value) {
            if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
            ++lineBreaks;
            if (c == QLatin1Char('\r')) {
                if (!carriageReturns.isEmpty()) carriageReturns.append(',');
                carriageReturns.append(QByteArray::number(lineBreaks));
                c = QLatin1Char('\n');
            }
        }
        values.push_back(std::move(value));
    }
    QByteArray parametered(head.data(), head.size());
    parametered.append(";X-KESTRIX-CR=");
    parametered.append(carriageReturns);
    const std::vector<QStringView> parts(values.begin(), values.end());
    writeDirect(parametered, parts);
}

} // namespace kestrix::vcard
