// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "SyncState.h"

#include <QString>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace kestrix {

// A card of the card file now: its record number and the key of its 13
// fields, as SyncedCard holds them.
struct LocalCard {
    QString number;
    CardKey key;
};

// The card as a plan compares it; `scratch` is reused between cards.
LocalCard localCardOf(const CardRecord& card, CardKeySet::TextKey& scratch);

// What the server holds now: every href of the address book with its ETag,
// as a full listing gives them.
using ServerListing = std::map<QString, QString>;

// What a sync-collection report gives since the state's sync token: the
// hrefs changed or added, with their ETags, and those removed. Every other
// href is as the state has it.
struct ServerChanges {
    ServerListing changed;
    std::set<QString> removed;
};

// One step of a sync. `number` and `localIndex` name the local card (its
// place in the list planned from, which tells apart cards that share a
// number), `href` the server's; `stateIndex` the entry of the state it
// concerns, whose ETag is the If-Match of a Push or DeleteRemote.
// `serverEtag` is the ETag listed now.
struct SyncAction {
    enum class Kind {
        Nothing,      // the same on both sides since the last sync
        PushNew,      // a local card the server has not got: PUT to a new href
        Push,         // changed here only: PUT over href, If-Match the state's ETag
        Pull,         // changed on the server only: GET href over the local card
        PullNew,      // a server card not had here: GET it as a new local card
        DeleteLocal,  // gone from the server, unchanged here
        DeleteRemote, // gone here, unchanged on the server: DELETE, If-Match the state's ETag
        Conflict,     // changed on both sides: keep both (see planSync)
        Forget,       // drop the state entry; what survives comes as PushNew or PullNew
    };
    Kind kind = Kind::Nothing;
    QString number;
    CardKey localKey; // the local card's key now, where there is one
    QString href;
    QString serverEtag;
    std::optional<size_t> localIndex;
    std::optional<size_t> stateIndex;
    friend bool operator==(const SyncAction&, const SyncAction&) = default;
};

const char* nameOf(SyncAction::Kind kind);

// What a sync must do, by comparing each side now with the state: a side
// changed where its key or ETag differs from the state's. Every state
// entry, local card and listed href lands in exactly one action, so nothing
// is overlooked; a change is never lost: a card changed on one side and
// deleted on the other is Forget for the old pairing plus PushNew or
// PullNew of the changed one. For a Conflict the engine keeps the server's
// version under a fresh number, paired with `href`, and puts the local card
// to a new href, so neither overwrites the other.
//
// Cards that share a number (a hand-edited file) are paired with the
// state's entries of that number by key first; of the rest, one left on
// each side pair as a change, and any others count as new here and as
// deleted here, which may send a card to the server twice but loses none.
//
// Ordered by record number (numerically where it is one), then href; the
// cards the server alone has (PullNew) after the rest.
// Precondition: no two state entries share an href.
std::vector<SyncAction> planSync(const SyncState& state, const std::vector<LocalCard>& local,
                                 const ServerListing& serverNow);

// The same after a sync-collection report rather than a full listing.
std::vector<SyncAction> planSync(const SyncState& state, const std::vector<LocalCard>& local,
                                 const ServerChanges& changedSinceToken);

// The listing the server would give now, from the state and a report.
ServerListing listingAfter(const SyncState& state, const ServerChanges& changes);

} // namespace kestrix
