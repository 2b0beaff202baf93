// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardKeySet.h"
#include "CardRecord.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace kestrix {

// Changes of the card file made elsewhere (a sync), applied at once. Each
// card to delete or replace is named by its record number and the key of
// its 13 fields (CardKeySet::keyOfText) as the other side last saw it: a
// card edited here since no longer has that key, and must not be lost to
// an edit the user never saw.
struct CardChanges {
    struct Deletion {
        QString number;
        CardKeySet::Key key;
    };
    struct Replacement {
        QString number;
        CardKeySet::Key key;
        CardRecord card; // its number is the one replaced
    };
    std::vector<Deletion> deletions;
    std::vector<Replacement> replacements;
    std::vector<CardRecord> additions; // numbered as Add numbers

    // Whether a card to store holds one, which the card file cannot.
    bool holdsDoubleQuote() const;
    // The line of replacement `index`, under the number it replaces.
    QByteArray replacementLine(size_t index) const;
    // The lines of the additions under `numbers`, one each, in order.
    QByteArrayList additionLines(const QStringList& numbers) const;
};

// What came of them: the deletions and replacements no card matched (their
// indexes, ascending), and the numbers the additions got, in order.
struct CardChangesApplied {
    std::vector<size_t> deletionsLeft;
    std::vector<size_t> replacementsLeft;
    QStringList numbers;
};

// Pairs stored cards with the deletion or replacement they answer. Each
// answers one card at most, so of two identical cards under one number a
// single deletion takes one.
class CardChangeMatcher {
public:
    enum class Kind { None, Delete, Replace };
    struct Match {
        Kind kind = Kind::None;
        size_t index = 0;
    };
    explicit CardChangeMatcher(const CardChanges& changes);
    // What the card of `number` answers, taken; None when nothing. The
    // card is asked of `record` only where its number could answer one, so
    // a stored card is decoded only then.
    Match take(const QString& number, const std::function<CardRecord()>& record);
    // Those no card answered.
    void left(CardChangesApplied& applied) const;

private:
    struct Pending {
        Match match;
        CardKeySet::Key key;
    };
    std::multimap<QString, Pending> pending_;
    CardKeySet::TextKey scratch_;
};

} // namespace kestrix
