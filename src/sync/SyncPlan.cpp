// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncPlan.h"

#include "SyncPlanPairing.h"

#include <QSet>

#include <algorithm>
#include <limits>
#include <tuple>

namespace kestrix {

using syncplan::lessRecordNumber;
using syncplan::Pairing;

namespace {

using Kind = SyncAction::Kind;

// One state entry against both sides now.
struct EntryNow {
    const SyncedCard& entry;
    size_t stateIndex;
    std::optional<size_t> localIndex;
    const LocalCard* localCard; // null when gone here
    const QString* listedEtag;  // null when gone from the server
};

SyncAction forEntry(Kind kind, const EntryNow& now)
{
    SyncAction action;
    action.kind = kind;
    action.number = now.localCard ? now.localCard->number : now.entry.number;
    if (now.localCard) action.localKey = now.localCard->key;
    action.localIndex = now.localIndex;
    action.href = now.entry.href;
    if (now.listedEtag) action.serverEtag = *now.listedEtag;
    action.stateIndex = now.stateIndex;
    return action;
}

// Drops the old pairing alone: the card that survives it is an action of
// its own.
SyncAction forget(const EntryNow& now)
{
    SyncAction action;
    action.kind = Kind::Forget;
    action.number = now.entry.number;
    action.href = now.entry.href;
    action.stateIndex = now.stateIndex;
    return action;
}

SyncAction pushNew(const std::vector<LocalCard>& local, size_t index)
{
    SyncAction action;
    action.kind = Kind::PushNew;
    action.number = local[index].number;
    action.localKey = local[index].key;
    action.localIndex = index;
    return action;
}

SyncAction pullNew(const QString& href, const QString& etag)
{
    SyncAction action;
    action.kind = Kind::PullNew;
    action.href = href;
    action.serverEtag = etag;
    return action;
}

// The action, or two, of one entry: nine cases of gone, changed or the
// same on each side. A change never meets a deletion without surviving it.
void planEntry(const EntryNow& now, const std::vector<LocalCard>& local, std::vector<SyncAction>& actions)
{
    const bool localGone = !now.localCard;
    const bool localChanged = !localGone && now.localCard->key != now.entry.key;
    const bool serverGone = !now.listedEtag;
    const bool serverChanged = !serverGone && *now.listedEtag != now.entry.etag;
    if (localGone && serverGone) {
        actions.push_back(forget(now));
    } else if (localGone) {
        if (!serverChanged) {
            actions.push_back(forEntry(Kind::DeleteRemote, now));
        } else {
            actions.push_back(forget(now));
            actions.push_back(pullNew(now.entry.href, *now.listedEtag));
        }
    } else if (serverGone) {
        if (!localChanged) {
            actions.push_back(forEntry(Kind::DeleteLocal, now));
        } else {
            actions.push_back(forget(now));
            actions.push_back(pushNew(local, *now.localIndex));
        }
    } else if (localChanged && serverChanged) {
        actions.push_back(forEntry(Kind::Conflict, now));
    } else {
        const Kind kind = localChanged ? Kind::Push : (serverChanged ? Kind::Pull : Kind::Nothing);
        actions.push_back(forEntry(kind, now));
    }
}

// By number, then href; the server's new cards, which have no number yet,
// last. The local index settles cards that share a number.
bool comesBefore(const SyncAction& a, const SyncAction& b)
{
    const bool aNumbered = a.kind != Kind::PullNew, bNumbered = b.kind != Kind::PullNew;
    if (aNumbered != bNumbered) return aNumbered;
    if (a.number != b.number) return lessRecordNumber(a.number, b.number);
    if (a.href != b.href) return a.href < b.href;
    const size_t none = std::numeric_limits<size_t>::max();
    return std::tuple(a.localIndex.value_or(none), a.stateIndex.value_or(none))
        < std::tuple(b.localIndex.value_or(none), b.stateIndex.value_or(none));
}

} // namespace

std::vector<SyncAction> planSync(const SyncState& state, const std::vector<LocalCard>& local,
                                 const ServerListing& serverNow)
{
    const Pairing pairing = syncplan::pairLocalCards(state, local);
    std::vector<SyncAction> actions;
    actions.reserve(state.cards.size() + local.size());
    QSet<QString> known;
    for (size_t i = 0; i < state.cards.size(); ++i) {
        const SyncedCard& entry = state.cards[i];
        Q_ASSERT(!known.contains(entry.href));
        known.insert(entry.href);
        const std::optional<size_t> paired = pairing.localOfEntry[i];
        const auto listed = serverNow.find(entry.href);
        const EntryNow now{entry, i, paired, paired ? &local[*paired] : nullptr,
                           listed == serverNow.end() ? nullptr : &listed->second};
        planEntry(now, local, actions);
    }
    for (size_t i = 0; i < local.size(); ++i)
        if (!pairing.localPaired[i]) actions.push_back(pushNew(local, i));
    for (const auto& [href, etag] : serverNow)
        if (!known.contains(href)) actions.push_back(pullNew(href, etag));
    std::sort(actions.begin(), actions.end(), comesBefore);
    return actions;
}

std::vector<SyncAction> planSync(const SyncState& state, const std::vector<LocalCard>& local,
                                 const ServerChanges& changedSinceToken)
{
    return planSync(state, local, listingAfter(state, changedSinceToken));
}

LocalCard localCardOf(const CardRecord& card, CardKeySet::TextKey& scratch)
{
    return LocalCard{card[indexOf(Field::RecordNumber)], CardKeySet::keyOfText(card, scratch)};
}

ServerListing listingAfter(const SyncState& state, const ServerChanges& changes)
{
    ServerListing listing;
    for (const SyncedCard& entry : state.cards) listing[entry.href] = entry.etag;
    for (const QString& href : changes.removed) listing.erase(href);
    for (const auto& [href, etag] : changes.changed) listing[href] = etag;
    return listing;
}

const char* nameOf(SyncAction::Kind kind)
{
    switch (kind) {
    case Kind::Nothing:
        return "Nothing";
    case Kind::PushNew:
        return "PushNew";
    case Kind::Push:
        return "Push";
    case Kind::Pull:
        return "Pull";
    case Kind::PullNew:
        return "PullNew";
    case Kind::DeleteLocal:
        return "DeleteLocal";
    case Kind::DeleteRemote:
        return "DeleteRemote";
    case Kind::Conflict:
        return "Conflict";
    case Kind::Forget:
        return "Forget";
    }
    return "?";
}

} // namespace kestrix
