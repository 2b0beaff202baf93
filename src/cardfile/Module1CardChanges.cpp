// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// A sync's changes of the card file: deletions, replacements and new cards
// as one rewrite, so they land together and are undone together.
#include "Module1.h"

#include "Module1Impl.h"
#include "files/PosixFile.h"
#include "history/HistoryFile.h"

namespace kestrix {

namespace {

CardChangeMatcher::Match matchOf(CardChangeMatcher& matcher, const StoredCard& stored)
{
    if (stored.itemCount() != kFieldCount) return {};
    const QString number = stored.text(Field::RecordNumber);
    return matcher.take(number, [&] { return stored.record(number); });
}

// Numbers the additions, and writes the counter once, first, as Add does:
// a number on a card in place must count as issued. `counterBefore` is
// what to restore should the cards not land.
FileStatus issueNumbers(const QString& directory, Counter& counter, size_t count, QStringList& numbers,
                        QByteArray& counterBefore)
{
    if (count == 0) return FileStatus::success();
    QString number;
    for (size_t i = 0; i < count; ++i) {
        FileStatus issued = number.isEmpty() ? counter.next(number) : Counter::following(number);
        if (!issued.ok()) return issued;
        numbers << number;
    }
    if (FileStatus read = posix::readWholeFile(directory, names::kCounterFile, counterBefore); !read.ok()) return read;
    FileStatus status = counter.write(number);
    if (!status.ok()) counter.restore(counterBefore);
    return status;
}

} // namespace

FileStatus Module1::ApplyCardChanges(const CardChanges& changes, CardChangesApplied& applied, const QString& server)
{
    applied = {};
    if (changes.holdsDoubleQuote())
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    // Looked at first, under the lock, so a sync whose every card was
    // edited here meanwhile leaves no empty change to undo.
    CardChangeMatcher probe(changes);
    bool any = !changes.additions.empty();
    const auto look = [&](const StoredCard& stored, const QString&) {
        any = any || matchOf(probe, stored).kind != CardChangeMatcher::Kind::None;
        return any ? ScanStep::Stop : ScanStep::Next;
    };
    FileStatus status = impl_->cards.scan(true, look, AfterScan::CloseFiles);
    if (status.ok() && !any) probe.left(applied);
    if (!status.ok() || !any) return status;
    QByteArray counterBefore;
    status = issueNumbers(directory(), impl_->counter, changes.additions.size(), applied.numbers, counterBefore);
    if (!status.ok()) return status;
    QByteArrayList appended = changes.additionLines(applied.numbers);
    CardChangeMatcher matcher(changes);
    qsizetype replaced = 0;
    const auto drop = [&](const StoredCard& stored) {
        const CardChangeMatcher::Match match = matchOf(matcher, stored);
        if (match.kind == CardChangeMatcher::Kind::Replace)
            appended.insert(replaced++, changes.replacementLine(match.index));
        return match.kind != CardChangeMatcher::Kind::None;
    };
    status = impl_->cards.rewrite({QStringLiteral("Sync"), server}, drop, appended);
    if (!status.ok() && !impl_->cards.rewritePlaced()) {
        if (!applied.numbers.isEmpty()) impl_->counter.restore(counterBefore);
        applied = {};
        return status;
    }
    matcher.left(applied);
    return status;
}

FileStatus Module1::SyncStateName(QString& name)
{
    Computer computer;
    FileStatus known = impl_->recording.identify(computer);
    if (known.ok()) name = syncStateFileName(computer);
    return known;
}

} // namespace kestrix
