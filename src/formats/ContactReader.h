// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ByteSource.h"
#include "ExchangeFormat.h"
#include "ImportReport.h"
#include "card/CardRecord.h"

#include <QString>

#include <memory>
#include <optional>
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

// Reads contacts a card at a time: memory bounded by the largest card it takes, time linear in the input.
class ContactReader {
public:
    // Reads the start of the content to tell vCards from CSV (as detectContent does), unless `format` says
    // which (VCard4 or VCard3: any vCard; Csv).
    explicit ContactReader(ByteSource source, std::optional<ExchangeFormat> format = std::nullopt);
    ~ContactReader();
    ContactReader(const ContactReader&) = delete;
    ContactReader& operator=(const ContactReader&) = delete;

    bool recognised() const; // false: the content is not contacts, reason() says why
    const QString& reason() const;
    ContentKind kind() const;
    // The next card worth storing (field 14 empty; no double quote in any field, as mapContact makes it);
    // false at the end of the content, or when the source failed (sourceFailed()).
    bool next(CardRecord& card);
    // The issues found since the last call, in file order, each naming its card by position.
    std::vector<ImportIssue> takeIssues();
    qint64 consumed() const; // bytes taken from the source so far, for a progress bar
    bool sourceFailed() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kestrix
