// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardKeySet.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace kestrix {

using CardKey = CardKeySet::Key;

// One card as the last sync left it on both sides. The key is of the card's
// 13 fields (CardKeySet::keyOfText), so a renumbered card is still the same
// card, and a change to any box shows.
struct SyncedCard {
    QString number; // the local card's record number, as text
    QString href;   // where the server keeps it
    QString etag;   // the server's version of it then
    QString uid;    // the vCard's UID there
    CardKey key;
    friend bool operator==(const SyncedCard&, const SyncedCard&) = default;
};

// What the last sync with one address book left behind. No two cards share
// an href: the server keeps one resource under each.
struct SyncState {
    QString addressBook; // the collection's URL
    QString server;      // the address the user gave, to find it again
    QString user;        // whose it is; never the password
    QString syncToken;   // empty when the server gave none
    std::vector<SyncedCard> cards;
    friend bool operator==(const SyncState&, const SyncState&) = default;
};

// The state as its file holds it, and back. Decoding accepts only what
// encoding writes; anything else is refused with `reason`, since a state
// read wrongly would have the next sync double or delete cards.
QByteArray encodeSyncState(const SyncState& state);
bool decodeSyncState(QByteArrayView bytes, SyncState& state, QString& reason);

} // namespace kestrix
