// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ContactData.h"
#include "ImportReport.h"
#include "InputBytes.h"
#include "card/CardRecord.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kestrix {

// The most a card may hold, a vCard from BEGIN to END or a CSV row, photos
// and other binary data aside: a card holding more is skipped, and never
// held whole. 8 MiB of text is some four thousand pages, far beyond any
// contact's notes, while what one card costs as it is read (its bytes, then
// its text in UTF-16, twice over while it is fitted to the boxes: about five
// times the bytes) stays near 40 MiB, within the 100 MiB an import may take.
inline constexpr qsizetype kLargestCardBytes = 8 * 1024 * 1024;

// The most fields (a CSV row's) or properties (a vCard's) a card may have: a
// field costs some 60 bytes in hand however short its text, so a card of
// millions of one-letter fields would pass the limit above and still take
// hundreds of megabytes. No address book writes a card of more than a few
// hundred.
inline constexpr qsizetype kMostCardFields = 65536;

// Reads one format's cards from the input, a card at a time.
class CardStream {
public:
    virtual ~CardStream() = default;
    // The next card worth storing; false at the end of the content. What is
    // found on the way goes to `issues`.
    virtual bool next(CardRecord& card, std::vector<ImportIssue>& issues) = 0;
};

// The most of a line or row held where only its start matters: outside a
// card, or in one already too large.
inline constexpr qsizetype kLineStartBytes = 4096;

// Fits `contact` to a card, and reports it under its position and name: why
// it was not taken whole (`reasons`, then what the fitting changed), then
// what was read as Windows-1252 (a notice). False when the card holds
// nothing worth storing, which is reported too.
bool fitCard(const ContactData& contact, qsizetype position, std::vector<QString> reasons, const QStringList& notUtf8,
             CardRecord& card, std::vector<ImportIssue>& issues);

// Reports a card that is not imported under its position and the name what
// was read of it gives: each of `reasons`, the first saying why it was
// skipped.
void reportSkipped(const ContactData& contact, qsizetype position, std::vector<QString> reasons,
                   std::vector<ImportIssue>& issues);

// Why a card of `bytes` is not imported.
QString tooLargeReason(qint64 bytes);
// Why a card of too many fields or properties (kMostCardFields) was skipped.
QString tooManyFieldsReason(qint64 fields);

// Decides on the start of the input, read only as far as needed:
// `decide(text, whole, result)` is given what is buffered, and whether that
// is the whole content, and returns false when it needs more. From
// kLargestCardBytes on, what is buffered counts as the whole.
template <typename Result, typename Decide>
Result decideOnStart(TextInput& input, Decide decide)
{
    Result result{};
    for (qsizetype want = 64 * 1024;; want *= 2) {
        const bool whole = !input.want(want) || want >= kLargestCardBytes;
        if (decide(input.buffered(), whole, result)) return result;
    }
}

} // namespace kestrix
