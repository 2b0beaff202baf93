// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// A sync's changes of the card file: deletions, replacements and new cards
// as one rewrite, so they land together and are undone together.
#include "Module1.h"

#include "Module1Impl.h"
#include "card/CardLine.h"
#include "files/PosixFile.h"

namespace kestrix {

namespace {

bool anyWithDoubleQuote(const CardChanges& changes)
{
    const auto quoted = [](const CardRecord& card) { return firstFieldWithDoubleQuote(card).has_value(); };
    return std::any_of(changes.additions.begin(), changes.additions.end(), quoted)
        || std::any_of(changes.replacements.begin(), changes.replacements.end(),
                       [&](const CardChanges::Replacement& r) { return quoted(r.card); });
}

// The stored card as a match needs it, where its number could match at all.
CardChangeMatcher::Match matchOf(CardChangeMatcher& matcher, const StoredCard& stored)
{
    if (stored.itemCount() != kFieldCount) return {};
    const QString number = stored.text(Field::RecordNumber);
    return matcher.awaits(number) ? matcher.take(stored.record(number)) : CardChangeMatcher::Match{};
}

// Numbers the additions into `lines` and writes the counter once, first,
// as Add does: a number on a card in place must count as issued.
// `counterBefore` is what to restore should the cards not land.
FileStatus issueNumbers(Counter& counter, const CardChanges& changes, CardChangesApplied& applied,
                        QByteArrayList& lines, QByteArray& counterBefore)
{
    if (changes.additions.empty()) return FileStatus::success();
    QString number;
    for (const CardRecord& addition : changes.additions) {
        FileStatus issued = number.isEmpty() ? counter.next(number) : Counter::following(number);
        if (!issued.ok()) return issued;
        applied.numbers << number;
        CardRecord card = addition;
        card[indexOf(Field::RecordNumber)] = number;
        lines << cardLine(card);
    }
    FileStatus status = posix::readWholeFile(counter.directory(), names::kCounterFile, counterBefore);
    if (status.ok()) status = counter.write(number);
    if (!status.ok()) counter.restore(counterBefore);
    return status;
}

} // namespace

FileStatus Module1::ApplyCardChanges(const CardChanges& changes, CardChangesApplied& applied, const QString& command,
                                     const QString& subject)
{
    applied = {};
    if (anyWithDoubleQuote(changes))
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    // Looked at first, under the lock, so a sync whose every card was
    // edited here meanwhile leaves no empty change to undo.
    CardChangeMatcher probe(changes);
    bool anyMatch = !changes.additions.empty();
    FileStatus status = impl_->cards.scan(
        true,
        [&](const StoredCard& stored, const QString&) {
            anyMatch = anyMatch || matchOf(probe, stored).kind != CardChangeMatcher::Kind::None;
            return anyMatch ? ScanStep::Stop : ScanStep::Next;
        },
        AfterScan::CloseFiles);
    if (!status.ok() || !anyMatch) {
        probe.left(applied);
        return status;
    }
    QByteArray counterBefore;
    QByteArrayList appended;
    if (status = issueNumbers(impl_->counter, changes, applied, appended, counterBefore); !status.ok()) return status;
    CardChangeMatcher matcher(changes);
    qsizetype replaced = 0;
    status = impl_->cards.rewrite(
        {command, subject},
        [&](const StoredCard& stored) {
            const CardChangeMatcher::Match match = matchOf(matcher, stored);
            if (match.kind == CardChangeMatcher::Kind::Replace) {
                CardRecord card = changes.replacements[match.index].card;
                card[indexOf(Field::RecordNumber)] = changes.replacements[match.index].number;
                appended.insert(replaced++, cardLine(card));
            }
            return match.kind != CardChangeMatcher::Kind::None;
        },
        appended);
    if (!status.ok() && !impl_->cards.rewritePlaced()) {
        if (!applied.numbers.isEmpty()) impl_->counter.restore(counterBefore);
        applied = {};
        return status;
    }
    matcher.left(applied);
    return status;
}

} // namespace kestrix
