// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ServerView.h"
#include "card/CardChanges.h"
#include "card/CardRecord.h"
#include "sync/SyncPlan.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <map>
#include <set>
#include <vector>

namespace kestrix {

// The card file as a sync pass read it: every card, and its key.
struct LocalCards {
    std::vector<CardRecord> cards;
    std::vector<LocalCard> keys;
};

// What a pass does, once its plan is refined with the cards fetched. The
// state's entries (by href) change as each step lands, never before.
struct SyncWork {
    // One change of the card file, and the state entry it leaves.
    struct LocalStep {
        enum class Kind { Delete, Replace, Add };
        Kind kind = Kind::Add;
        size_t index = 0; // into the changes' deletions, replacements or additions
        SyncedCard entry; // Add: its number is the one issued
        QString keptFrom; // Add of a card changed on both sides: the local card's number
    };
    // One write to the server, and the state entry it leaves.
    struct ServerStep {
        enum class Kind { Delete, Put, PutNew };
        Kind kind = Kind::Put;
        QString href;
        QString ifMatch; // the version overwritten or deleted; empty for a new one
        QByteArray vcard;
        SyncedCard entry; // its ETag is the server's answer
    };
    CardChanges changes;
    std::vector<LocalStep> localSteps;
    std::vector<ServerStep> serverSteps;
    // Entries that change with neither side: the two already agree, or
    // one of them is gone from both.
    std::map<QString, SyncedCard> agreed;
    std::set<QString> forgotten;
    qsizetype unreadable = 0;
    qsizetype leftForNext = 0; // gone or changed again since the listing
};

// Turns the plan into steps. A card the server sends that matches a local
// card (by its boxes) is paired with it, not copied: after a sync cut short
// between a write and the state's save, or a first sync of two sides that
// already share cards, nothing is doubled. Where the server changed only
// what the desk cannot show, a change here is merged into the server's card
// rather than kept twice. `hrefsTaken` are those a new card must not take.
SyncWork refineSync(const std::vector<SyncAction>& actions, const std::map<QString, SyncedCard>& entries,
                    const LocalCards& local, const std::map<QString, ServerVCard>& fetched, const QUrl& addressBook,
                    const std::set<QString>& hrefsTaken);

} // namespace kestrix
