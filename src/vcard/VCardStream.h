// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "VCardLines.h"
#include "VCardValues.h"
#include "contacts/CardStream.h"
#include "contacts/ExchangeFormat.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace kestrix {

// The version of the first vCard, when the content (after any blank lines)
// starts with one; nothing otherwise. `begun`: its BEGIN:VCARD is already
// read. Looks at the start of the input only, without taking it.
std::optional<ContentKind> leadingVCardVersionIn(TextInput& input, bool begun);

// The vCards of the input, a card at a time. A card ends at its END:VCARD,
// or, without one, where the next BEGIN:VCARD stands or the content ends;
// a BEGIN:VCARD right after an empty AGENT (vCard 2.1) starts a card
// embedded in the one read, which is skipped. Binary values are dropped as
// they come, and a card holding more than kLargestCardBytes besides them is
// only counted, not held.
class VCardCards : public CardStream {
public:
    explicit VCardCards(TextInput& input);

    // Reads up to the first card's BEGIN:VCARD; false when there is none.
    bool findFirstCard();
    bool next(CardRecord& card, std::vector<ImportIssue>& issues) override;

private:
    enum class Ending { End, NextBegins, ContentEnds };

    void startCard();
    void takeLine(QByteArrayView line, bool whole);
    void becomeTooLarge(bool lastWhole);
    void keepForName(QByteArrayView line);
    bool finishCard(Ending ending, CardRecord& card, std::vector<ImportIssue>& issues);

    VCardLineReader lines_;
    VCardLine line_;
    vcard::HeadCache heads_;
    bool inCard_ = false;
    int depth_ = 0;            // 1 in a card, more in a card it embeds
    bool agentBefore_ = false; // the line before was an empty AGENT: a vCard may follow
    bool embedded_ = false;
    bool tooLarge_ = false;
    vcard::Version version_ = vcard::Version::V30;
    qsizetype position_ = 0;
    qint64 cardBytes_ = 0;
    qint64 cardLines_ = 0;   // its content lines, its properties
    QByteArray held_;        // the card's lines, each ended by a line feed
    QByteArray scratch_;     // a line not held
    QByteArray nameLines_;   // of a card too large: its full name, name and organisation
    unsigned namesKept_ = 0; // which of those
};

} // namespace kestrix
