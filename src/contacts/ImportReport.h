// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ExchangeFormat.h"
#include "card/CardRecord.h"

#include <QString>

#include <vector>

namespace kestrix {

// One card that was not taken whole, or not taken at all, and why; or, as
// a notice, something about a card taken whole that its user may want to
// know (text read as Windows-1252, say).
struct ImportIssue {
    qsizetype card = 0; // its position in the file, from 1: the n-th vCard, or the n-th row after the header
    QString name;       // its contact, else its company; may be empty
    QString reason;
    bool notice = false; // taken whole; told for the user's knowledge
};

// What reading a file of contacts gave. The cards' record numbers (field
// 14) are left empty: whoever stores them issues fresh ones.
struct ImportResult {
    bool recognised = false; // false: the content is not contacts, and `reason` says why
    QString reason;
    ContentKind kind = ContentKind::NotContacts;
    std::vector<CardRecord> cards;
    std::vector<ImportIssue> issues; // in file order
};

// One line for a report: "card 3 (Anna Nowak): ...".
QString describeIssue(const ImportIssue& issue);

} // namespace kestrix
