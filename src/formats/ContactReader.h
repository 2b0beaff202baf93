// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"
#include "contacts/ByteSource.h"
#include "contacts/ExchangeFormat.h"
#include "contacts/ImportReport.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kestrix {

// What a file holds, as far as its first lines tell.
struct ContentDetection {
    ContentKind kind = ContentKind::NotContacts;
    QString reason; // why the content is not contacts; empty otherwise
};

// Tells vCards (by the version of the first card) from CSV with a header row
// naming contact columns, and both from anything else. Looks at the start of
// the content only.
ContentDetection detectContent(QByteArrayView bytes);

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

// Everything a reader over `bytes` gives, for callers that hold the whole
// file anyway.
ImportResult readWhole(QByteArrayView bytes, std::optional<ExchangeFormat> format);

} // namespace kestrix
