// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The history of the card file's changes, read from every computer's
// records, and the cards of one of them brought back.
#include "Module1.h"

#include "Module1Impl.h"
#include "card/CardLine.h"
#include "history/RecordedCards.h"

#include <QHash>
#include <QSet>

#include <map>
#include <numeric>
#include <set>

namespace kestrix {

namespace {

Module1::Change changeOf(const ChangeRecord& record, const QString& computer, bool here)
{
    Module1::Change change;
    change.id = record.id;
    change.when = record.when;
    change.computer = computer;
    change.madeHere = here;
    change.command = record.command;
    change.subject = record.subject;
    change.isUndo = !record.undoes.isEmpty();
    for (const RecordedCard& card : record.removed)
        if (recorded::isCard(card.bytes)) change.removed.push_back(cardOfLine(card.bytes));
    for (const RecordedCard& card : record.added)
        if (recorded::isCard(card.bytes)) change.added.push_back(cardOfLine(card.bytes));
    return change;
}

// The changes taken back, from the undos in the order they were made: an
// undo of an undo gives back what the first took, so that change stands again.
std::set<QByteArray> takenBack(std::vector<const ChangeRecord*> undos)
{
    std::stable_sort(undos.begin(), undos.end(),
                     [](const ChangeRecord* a, const ChangeRecord* b) { return a->when < b->when; });
    std::map<QByteArray, QByteArray> undoing; // an undo's id, and the change it took back
    std::set<QByteArray> undone;
    for (const ChangeRecord* undo : undos) {
        undone.insert(undo->undoes);
        if (const auto inner = undoing.find(undo->undoes); inner != undoing.end()) undone.erase(inner->second);
        undoing[undo->id] = undo->undoes;
    }
    return undone;
}

} // namespace

// This computer's changes that landed, oldest first, into `own`, each one an
// undo took back marked by its own id in `undoes`; when `everyones` is given,
// every computer's, newest first, as Change; and when `others` is, the other
// computers' records that landed.
FileStatus Module1::landedChanges(std::vector<ChangeRecord>& own, std::vector<Change>* everyones,
                                  std::vector<ChangeRecord>* others)
{
    own.clear();
    if (others) others->clear();
    std::vector<ChangeRecording::ComputerRecords> computers;
    if (FileStatus read = impl_->recording.everyComputersRecords(computers); !read.ok()) return read;
    std::optional<CardFileVersion> current;
    if (FileStatus known = recorded::currentVersion(directory(), kCardFile, current); !known.ok()) return known;
    std::vector<const ChangeRecord*> undos;
    for (ChangeRecording::ComputerRecords& computer : computers) {
        computer.records = kestrix::landedChanges(std::move(computer.records), computer.here ? current : std::nullopt);
        for (const ChangeRecord& record : computer.records)
            if (!record.undoes.isEmpty()) undos.push_back(&record);
    }
    const std::set<QByteArray> undone = takenBack(undos);
    for (ChangeRecording::ComputerRecords& computer : computers) {
        // Newest first: a computer's file holds its changes in the order they
        // were made, which tells two changes of one millisecond apart.
        if (everyones)
            for (auto record = computer.records.rbegin(); record != computer.records.rend(); ++record) {
                everyones->push_back(changeOf(*record, computer.label, computer.here));
                everyones->back().takenBack = undone.count(record->id) > 0;
            }
        if (computer.here) {
            own = std::move(computer.records);
        } else if (others) {
            std::move(computer.records.begin(), computer.records.end(), std::back_inserter(*others));
        }
    }
    for (ChangeRecord& record : own)
        if (undone.count(record.id)) record.undoes = record.id; // taken back: not to be taken again
    if (everyones)
        std::stable_sort(everyones->begin(), everyones->end(),
                         [](const Change& a, const Change& b) { return a.when > b.when; });
    return FileStatus::success();
}

FileStatus Module1::ChangeHistory(std::vector<Change>& changes)
{
    changes.clear();
    std::vector<ChangeRecord> own;
    return landedChanges(own, &changes);
}

void Module1::recordChanges(bool on)
{
    impl_->recording.recordChanges(on);
}

FileStatus Module1::SetHistoryLimit(qint64 bytes)
{
    static_assert(kLeastHistoryLimit == HistoryLimit::kLeastBytes);
    if (bytes < kLeastHistoryLimit)
        return FileStatus::failure(QStringLiteral("history-limit"), QStringLiteral("the least is 1 MiB"));
    return impl_->recording.setLimit(bytes);
}

FileStatus Module1::RestoreCards(const QByteArray& id, Restored& restored)
{
    restored = {};
    const ChangeGuard guard = lockForChange();
    if (!guard.status().ok()) return guard.status();
    std::vector<ChangeRecord> own, others;
    std::vector<Change> everyones;
    if (FileStatus read = landedChanges(own, &everyones, &others); !read.ok()) return read;
    // What the change took is recorded alike whether it was taken back or not.
    const ChangeRecord* change = recordWithId(own, id);
    if (!change) change = recordWithId(others, id);
    if (!change) return FileStatus::failure(kCardFile, QStringLiteral("no such change is in its history"));
    for (Change& shown : everyones)
        if (shown.id == id) restored.change = std::move(shown);

    QSet<QString> standing;
    FileStatus status = impl_->cards.scan(
        true,
        [&](const StoredCard& card, const QString& number) {
            standing.insert(recorded::keyOf(number, card.text(Field::CCNAME)));
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    if (!status.ok()) return status;
    QByteArrayList lines;
    for (const RecordedCard& card : change->removed) {
        if (!recorded::isCard(card.bytes)) continue;
        const CardRecord record = cardOfLine(card.bytes);
        if (standing.contains(recorded::keyOf(record))) {
            restored.stayed << recorded::nameOf(record);
            continue;
        }
        lines << recorded::lineToStore(card.bytes);
    }
    if (lines.isEmpty())
        return FileStatus::failure(kCardFile,
                                   change->removed.empty()
                                       ? QStringLiteral("that change took no card")
                                       : QStringLiteral("every card that change took is there again"));
    status = impl_->cards.beginAppending(
        impl_->folder.slot1,
        {QStringLiteral("Restore"), QStringLiteral("%1 of \"%2\"").arg(change->command, change->subject)});
    for (const QByteArray& line : lines)
        if (status.ok()) status = impl_->folder.slot1.write(line);
    if (!status.ok()) {
        impl_->folder.slot1.closeDiscarding();
        return status;
    }
    status = impl_->cards.finishAppending(impl_->folder.slot1);
    if (status.ok()) restored.cards = lines.size();
    return status;
}

// Card by card, for a change that later changes came after: the cards it
// gave that still stand as it gave them go; the cards it took come back,
// at the end, where no card of their number and contact stands.
FileStatus Module1::takeBackCardByCard(const ChangeRecord& change, QStringList& stayed)
{
    QHash<QByteArray, int> given;
    QSet<QString> givenNumbers;
    for (const RecordedCard& card : change.added)
        if (recorded::isCard(card.bytes) && isStoredLine(card.bytes)) {
            ++given[card.bytes];
            givenNumbers.insert(cardOfLine(card.bytes)[indexOf(Field::RecordNumber)]);
        }
    // Whether a card still stands as the change gave it; each given card
    // answers for one standing card.
    QByteArray line;
    const auto standsAsGiven = [&](const StoredCard& card, QHash<QByteArray, int>& left) {
        if (!card.isStoredForm() || !givenNumbers.contains(card.text(Field::RecordNumber))) return false;
        line.resize(0);
        card.appendLineTo(line);
        const auto found = left.find(line);
        if (found == left.end() || *found == 0) return false;
        --*found;
        return true;
    };
    QHash<QByteArray, int> left = given;
    QSet<QString> standing;
    FileStatus status = impl_->cards.scan(
        true,
        [&](const StoredCard& card, const QString& number) {
            if (!standsAsGiven(card, left)) standing.insert(recorded::keyOf(number, card.text(Field::CCNAME)));
            return ScanStep::Next;
        },
        AfterScan::CloseFiles);
    if (!status.ok()) return status;
    for (auto card = left.cbegin(); card != left.cend(); ++card)
        for (int i = 0; i < *card; ++i) stayed << recorded::nameOf(cardOfLine(card.key()));
    QByteArrayList lines;
    for (const RecordedCard& card : change.removed) {
        if (!recorded::isCard(card.bytes)) continue;
        const CardRecord record = cardOfLine(card.bytes);
        if (standing.contains(recorded::keyOf(record))) {
            stayed << recorded::nameOf(record);
            continue;
        }
        lines << recorded::lineToStore(card.bytes);
    }
    const qsizetype dropping =
        std::accumulate(given.cbegin(), given.cend(), 0) - std::accumulate(left.cbegin(), left.cend(), 0);
    if (dropping == 0 && lines.isEmpty())
        return FileStatus::failure(kCardFile,
                                   QStringLiteral("every card of the %1 was changed since").arg(change.command));
    left = given;
    return impl_->cards.rewrite(
        {QStringLiteral("Undo"), recorded::subjectOfUndo(change), change.id},
        [&](const StoredCard& card) { return standsAsGiven(card, left); }, lines);
}

} // namespace kestrix
