// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncPlanPairing.h"

#include "card/RecordNumberRule.h"

#include <limits>
#include <map>

namespace kestrix::syncplan {

namespace {

using IndexesByNumber = std::map<QString, std::vector<size_t>>;

// Pairs the cards of one number. A card whose key is the state's is that
// entry unchanged; after those, a single card left against a single entry
// is that entry changed. More than one left on a side cannot be told apart,
// so they stay unpaired: pushed as new, and their entries taken as deleted
// here, which keeps every version.
void pairNumber(const SyncState& state, const std::vector<LocalCard>& local, const std::vector<size_t>& entries,
                const std::vector<size_t>& cards, Pairing& pairing)
{
    std::vector<size_t> entriesLeft, cardsLeft;
    std::vector<bool> entryTaken(entries.size(), false);
    for (const size_t card : cards) {
        bool paired = false;
        for (size_t e = 0; e < entries.size() && !paired; ++e) {
            if (entryTaken[e] || state.cards[entries[e]].key != local[card].key) continue;
            entryTaken[e] = paired = true;
            pairing.localOfEntry[entries[e]] = card;
            pairing.localPaired[card] = true;
        }
        if (!paired) cardsLeft.push_back(card);
    }
    for (size_t e = 0; e < entries.size(); ++e)
        if (!entryTaken[e]) entriesLeft.push_back(entries[e]);
    if (entriesLeft.size() == 1 && cardsLeft.size() == 1) {
        pairing.localOfEntry[entriesLeft.front()] = cardsLeft.front();
        pairing.localPaired[cardsLeft.front()] = true;
    }
}

} // namespace

Pairing pairLocalCards(const SyncState& state, const std::vector<LocalCard>& local)
{
    Pairing pairing;
    pairing.localOfEntry.resize(state.cards.size());
    pairing.localPaired.resize(local.size(), false);
    IndexesByNumber entriesByNumber, cardsByNumber;
    for (size_t i = 0; i < state.cards.size(); ++i) entriesByNumber[state.cards[i].number].push_back(i);
    for (size_t i = 0; i < local.size(); ++i) cardsByNumber[local[i].number].push_back(i);
    for (const auto& [number, entries] : entriesByNumber) {
        const auto cards = cardsByNumber.find(number);
        if (cards != cardsByNumber.end()) pairNumber(state, local, entries, cards->second, pairing);
    }
    return pairing;
}

bool lessRecordNumber(const QString& a, const QString& b)
{
    // A number too large for a double sorts after every other.
    constexpr double kBeyond = std::numeric_limits<double>::infinity();
    const double valueA = numberFromText(a).value_or(kBeyond);
    const double valueB = numberFromText(b).value_or(kBeyond);
    if (valueA != valueB) return valueA < valueB;
    return a < b;
}

} // namespace kestrix::syncplan
