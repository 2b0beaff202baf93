// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecording.h"
#include "card/CardKeySet.h"
#include "files/FileStatus.h"

#include <QSet>
#include <QString>

#include <optional>
#include <unordered_map>

namespace kestrix {

// What each side did to the cards, as the records of changes that travel
// with the card file tell it: for each card, by its key, when this computer
// last removed it and last added it, and when any other computer did. A
// merge of another computer's copy asks it whether a card missing on one
// side was deleted there or is new on the other.
class MergeKnowledge {
public:
    // Every computer's records of changes that landed; this computer's
    // against the card file standing now, `current`.
    FileStatus read(ChangeRecording& recording, const std::optional<CardFileVersion>& current);

    // Whether another computer's changes are on record: without them a
    // merge cannot tell a deletion from an addition.
    bool knowsOtherComputers() const { return othersRecorded_; }

    enum class Side { Here, Elsewhere };
    // When `side` last removed or added the card, in milliseconds since the
    // epoch; nothing when it did not.
    std::optional<qint64> removed(Side side, const CardKeySet::Key& card) const;
    std::optional<qint64> added(Side side, const CardKeySet::Key& card) const;
    // Whether `side` removed a card of this number and contact: a version of
    // the card, where another version of it is met.
    bool removedAVersion(Side side, const QString& numberAndContact) const;

private:
    struct KeyHash {
        size_t operator()(const CardKeySet::Key& key) const { return static_cast<size_t>(key.first ^ key.second); }
    };
    using Times = std::unordered_map<CardKeySet::Key, qint64, KeyHash>;
    void note(Times& times, const CardKeySet::Key& card, qint64 when);

    Times removed_[2];
    Times added_[2];
    QSet<QString> removedVersions_[2];
    bool othersRecorded_ = false;
};

} // namespace kestrix
