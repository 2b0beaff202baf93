// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "MergeKnowledge.h"

#include "RecordedCards.h"
#include "card/CardLine.h"

namespace kestrix {

FileStatus MergeKnowledge::read(ChangeRecording& recording, const std::optional<CardFileVersion>& current)
{
    std::vector<ChangeRecording::ComputerRecords> computers;
    if (FileStatus read = recording.everyComputersRecords(computers); !read.ok()) return read;
    QByteArray scratch;
    for (ChangeRecording::ComputerRecords& computer : computers) {
        const int side = static_cast<int>(computer.here ? Side::Here : Side::Elsewhere);
        const std::vector<ChangeRecord> landed =
            landedChanges(std::move(computer.records), computer.here ? current : std::nullopt);
        if (!computer.here && !landed.empty()) othersRecorded_ = true;
        for (const ChangeRecord& record : landed) {
            const qint64 when = record.when.toMSecsSinceEpoch();
            for (const RecordedCard& card : record.removed) {
                if (!recorded::isCard(card.bytes)) continue;
                note(removed_[side], CardKeySet::keyOf(card.bytes, scratch), when);
                removedVersions_[side].insert(recorded::keyOf(cardOfLine(card.bytes)));
            }
            for (const RecordedCard& card : record.added)
                if (recorded::isCard(card.bytes)) note(added_[side], CardKeySet::keyOf(card.bytes, scratch), when);
        }
    }
    return FileStatus::success();
}

void MergeKnowledge::note(Times& times, const CardKeySet::Key& card, qint64 when)
{
    auto [at, inserted] = times.try_emplace(card, when);
    if (!inserted && at->second < when) at->second = when;
}

std::optional<qint64> MergeKnowledge::removed(Side side, const CardKeySet::Key& card) const
{
    const Times& times = removed_[static_cast<int>(side)];
    const auto found = times.find(card);
    return found == times.end() ? std::nullopt : std::optional(found->second);
}

std::optional<qint64> MergeKnowledge::added(Side side, const CardKeySet::Key& card) const
{
    const Times& times = added_[static_cast<int>(side)];
    const auto found = times.find(card);
    return found == times.end() ? std::nullopt : std::optional(found->second);
}

bool MergeKnowledge::removedAVersion(Side side, const QString& numberAndContact) const
{
    return removedVersions_[static_cast<int>(side)].contains(numberAndContact);
}

} // namespace kestrix
