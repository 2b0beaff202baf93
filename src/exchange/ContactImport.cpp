// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ContactImport.h"

#include "CardTransfer.h"
#include "card/CardKeySet.h"
#include "card/TextEncoding.h"
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "files/NamedFile.h"
#include "formats/ContactReader.h"

#include <vector>

namespace kestrix {

namespace {

// The reports kept in full; the window shows a dozen, a terminal a screenful.
constexpr qsizetype kIssuesKept = 1000;

void keep(std::vector<ImportIssue> found, ImportOutcome& outcome)
{
    for (ImportIssue& issue : found) {
        if (!issue.notice) outcome.anyCardNotWhole = true;
        if (static_cast<qsizetype>(outcome.issues.size()) < kIssuesKept)
            outcome.issues.push_back(std::move(issue));
        else
            ++outcome.moreIssues;
    }
}

// The keys of the cards stored, read as the window's start reads them: a
// missing card file is created, and RecordNumber ends with the last card's
// number.
FileStatus readStoredKeys(Module1& module, CardKeySet& keys)
{
    CardKeySet::TextKey key;
    // Gathered first, so the set is made once at a size with room for as
    // many new cards, instead of growing through every size on the way.
    std::vector<CardKeySet::Key> stored;
    const FileStatus status = module.ScanCards(
        true,
        [&](const StoredCard& card, const QString&) {
            key.clear();
            // A line of UTF-8 is its own key text; any other is decoded.
            const QByteArrayView framed = card.itemsBeforeNumber();
            if (!framed.isEmpty() && isUtf8OfItsText(framed))
                key.addFramed(framed);
            else
                for (int i = 0; i < kFieldCount - 1; ++i) key.add(card.text(static_cast<Field>(i)));
            stored.push_back(key.key());
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    keys.reserve(2 * static_cast<qsizetype>(stored.size()));
    for (const CardKeySet::Key& one : stored) keys.insert(one);
    return status;
}

// The contacts of `reader` as cards to add, but for those already there
// when `keys` is given.
Module1::CardSource newCards(ContactReader& reader, const NamedFileReader& file, CardKeySet* keys,
                             const ImportProgress& progress, ImportOutcome& outcome)
{
    return [&reader, &file, keys, &progress, &outcome, scratch = CardKeySet::TextKey()](CardRecord& card) mutable {
        for (;;) {
            if (progress && !progress(reader.consumed(), file.size())) {
                outcome.stopped = true;
                return Module1::NextCard::Stop;
            }
            const bool more = reader.next(card);
            keep(reader.takeIssues(), outcome);
            // A file that fails half way must not pass for a shorter one.
            if (!more) return reader.sourceFailed() ? Module1::NextCard::Stop : Module1::NextCard::End;
            if (!keys || keys->insert(CardKeySet::keyOfText(card, scratch))) return Module1::NextCard::Card;
            ++outcome.alreadyThere;
        }
    };
}

} // namespace

ImportOutcome importContacts(Module1& module, const QByteArray& path, std::optional<ExchangeFormat> format,
                             const ImportProgress& progress, IdenticalCards identical)
{
    ImportOutcome outcome;
    outcome.status = refuseCardFiles(module, path);
    NamedFileReader file;
    if (outcome.status.ok()) outcome.status = file.open(path);
    if (!outcome.status.ok()) return outcome;

    ContactReader reader([&file](char* buffer, qsizetype capacity) { return file.read(buffer, capacity); }, format);
    keep(reader.takeIssues(), outcome);
    if (!reader.recognised()) {
        // A file that could not be read is told as such, not as no contacts.
        outcome.status = file.failure();
        outcome.recognised = !file.failure().ok();
        outcome.reason = reader.reason();
        return outcome;
    }
    // As the window starts: a missing card file is created, and the last
    // card's number is where numbering goes on when the counter holds none.
    // Only for contacts: a file that holds none leaves the folder as it was.
    // Held from the read to the last card stored, so a card another window
    // stores meanwhile is not missed when telling which are there.
    const Module1::ChangeGuard change = module.lockForChange();
    outcome.status = change.status();
    CardKeySet keys;
    const bool skip = identical == IdenticalCards::Skip;
    if (outcome.status.ok()) outcome.status = skip ? readStoredKeys(module, keys) : module.ReadAtStart();
    if (!outcome.status.ok()) return outcome;
    FileStatus stored = module.AddCards(newCards(reader, file, skip ? &keys : nullptr, progress, outcome),
                                        outcome.stored, displayNameOfPath(path));
    if (!file.failure().ok()) stored = file.failure();
    if (!outcome.stopped) outcome.status = stored;
    return outcome;
}

} // namespace kestrix
