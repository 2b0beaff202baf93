// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ExchangeFormat.h"
#include "contacts/ImportReport.h"
#include "files/FileStatus.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kestrix {

class Module1;

// What an import of a file of contacts came to.
struct ImportOutcome {
    // Why the file could not be read, or its cards not stored; then nothing was.
    FileStatus status = FileStatus::success();
    // False: the content is not contacts, and `reason` says why; nothing was stored.
    bool recognised = true;
    QString reason;
    // The user stopped it before its end: nothing was stored.
    bool stopped = false;
    qsizetype stored = 0;
    // The contacts left out because a card of the same text, its number
    // aside, was stored already or came earlier in the file.
    qsizetype alreadyThere = 0;
    // What was found, in file order: the first ones, and how many more. A
    // file of a million odd cards must not hold a million reports.
    std::vector<ImportIssue> issues;
    qsizetype moreIssues = 0;
    // Whether any card was not taken whole (notices aside).
    bool anyCardNotWhole = false;
};

// How far an import has come, in bytes of the file, and whether to go on.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// What becomes of a contact whose card would read exactly as one already
// stored (its number aside): left out, or added all the same.
enum class IdenticalCards { Skip, Add };

// Adds the contacts in `path` (vCards or CSV, told apart by their content
// unless `format` says which) as new cards with fresh numbers, as one
// change: all of them or, where anything fails or the user stops, none.
// A contact whose card is already there, or came earlier in the file, is
// skipped unless `identical` says Add; it takes no number. The file is read,
// parsed and stored a stretch at a time, so memory does not grow with its
// size, but for a key of 16 bytes a card, stored or read, to know the cards
// already there: in a table at most half full, some 64 MiB when a million
// cards meet a million more.
// Kestrix's own files are refused, and so is a link to the file that
// another user made to a file they may not change.
ImportOutcome importContacts(Module1& module, const QByteArray& path, std::optional<ExchangeFormat> format,
                             const ImportProgress& progress = {}, IdenticalCards identical = IdenticalCards::Skip);

} // namespace kestrix
