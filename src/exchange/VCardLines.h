// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QVarLengthArray>

namespace kestrix {

// The content lines of a vCard file, unfolded: a line break followed by a
// blank or a tab continues the line. vCard 3.0 and 4.0 drop that blank with
// the break; 2.1 folds only where a blank stands, and keeps it. A
// quoted-printable value that ends a line in "=" (a soft line break)
// continues on the next line whatever that starts with. Lines end in CR LF
// or LF.
class VCardLineReader {
public:
    explicit VCardLineReader(QByteArrayView bytes) : bytes_(bytes) {}

    // The next content line, or false at the end. The line shares the input's
    // bytes when it was not folded.
    bool next(QByteArray& line);

    // 2.1 unfolding keeps the blank after the line break.
    void setKeepFoldingBlank(bool keep) { keepFoldingBlank_ = keep; }

private:
    QByteArrayView physicalLine();

    QByteArrayView bytes_;
    qsizetype at_ = 0;
    bool keepFoldingBlank_ = false;
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
