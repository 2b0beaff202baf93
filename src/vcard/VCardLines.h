// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/InputBytes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVarLengthArray>

#include <functional>
#include <limits>

namespace kestrix {

// One content line, unfolded, as read into a buffer: the line, or its start
// when it is cut or its value dropped, is the buffer from `start` on.
struct VCardLine {
    qsizetype start = 0;
    qint64 size = 0;      // its length, counting what was not held but a dropped value
    bool cut = false;     // longer than the reader's limit: only its start is held
    bool dropped = false; // its value was dropped (ValueFilter) but for its first bytes

    QByteArrayView in(const QByteArray& buffer) const { return QByteArrayView(buffer).sliced(start); }
};

// The content lines of a vCard file, unfolded, read as they stream in: a
// line break followed by a blank or a tab continues the line. vCard 3.0 and
// 4.0 drop that blank with the break; 2.1 folds only where a blank stands,
// and keeps it. A quoted-printable value that ends a line in "=" (a soft
// line break) continues on the next line whatever that starts with. Lines
// end in CR LF or LF; a byte order mark at a line's start (files joined
// with `cat`) is dropped. Time is linear in the input, and memory bounded
// by the limit, however long a line.
class VCardLineReader {
public:
    // Whether to drop a value, given its line up to the first bytes of the
    // value (kValueBytesSeen, or fewer when the value is shorter).
    using ValueFilter = std::function<bool(QByteArrayView lineStart)>;
    static constexpr qsizetype kValueBytesSeen = 5;

    explicit VCardLineReader(TextInput& input) : input_(input) {}

    // Appends the next content line to `into`, which a card's lines can so
    // share without a copy each; false at the end.
    bool next(QByteArray& into, VCardLine& line);

    // 2.1 unfolding keeps the blank after the line break.
    void setKeepFoldingBlank(bool keep) { keepFoldingBlank_ = keep; }
    // The most bytes of a line held; the rest is only counted.
    void setLimit(qsizetype bytes) { limit_ = bytes; }
    void setValueFilter(ValueFilter filter) { filter_ = std::move(filter); }

private:
    void readPhysicalLine(VCardLine& line);
    void append(QByteArrayView piece, VCardLine& line);
    void hold(QByteArrayView piece, VCardLine& line);
    qsizetype held(const VCardLine& line) const { return into_->size() - line.start; }
    qsizetype valueColonIn(QByteArrayView piece);
    void askFilter(VCardLine& line);
    bool endsInSoftBreak() const;
    void dropSoftBreak(VCardLine& line);
    bool nextLineEndsCard();

    TextInput& input_;
    QByteArray* into_ = nullptr;
    bool keepFoldingBlank_ = false;
    qsizetype limit_ = std::numeric_limits<qsizetype>::max();
    ValueFilter filter_;

    // The line being read: where its name and parameters end, whether they
    // name quoted-printable, and its last bytes.
    enum class Head { Name, Parameters, Value } head_ = Head::Name;
    bool quoted_ = false;
    int encodingMatched_ = 0; // how much of "QUOTED-PRINTABLE" the bytes just read spell
    bool quotedPrintable_ = false;
    qsizetype valueBytes_ = 0;
    bool filterAsked_ = false;
    qint64 logicalSize_ = 0;
    static constexpr qsizetype kTailBytes = 16; // enough to tell soft line breaks after one another
    char tail_[kTailBytes] = {};
    qsizetype tailSize_ = 0;
};

struct VCardParameter {
    QByteArrayView name;  // empty for a 2.1 parameter given by its value alone ("TEL;WORK:")
    QByteArrayView value; // without its surrounding double quotes
};

// One content line taken apart: [group "."] name *(";" parameter) ":" value.
struct VCardProperty {
    QByteArrayView group;
    QByteArrayView name;
    QVarLengthArray<VCardParameter, 6> parameters;
    QByteArrayView value;

    bool is(const char* upperName) const { return name.compare(upperName, Qt::CaseInsensitive) == 0; }
};

// Parses one unfolded content line; false when it has no colon.
bool parseContentLine(QByteArrayView line, VCardProperty& property);

// Whether the line is BEGIN:VCARD or END:VCARD, in any letter case, with any
// blanks after it.
bool isBeginVCard(QByteArrayView line);
bool isEndVCard(QByteArrayView line);

} // namespace kestrix
