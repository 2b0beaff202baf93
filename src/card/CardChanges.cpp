// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardChanges.h"

#include <algorithm>

namespace kestrix {

CardChangeMatcher::CardChangeMatcher(const CardChanges& changes)
{
    for (size_t i = 0; i < changes.deletions.size(); ++i)
        pending_.emplace(changes.deletions[i].number, Pending{{Kind::Delete, i}, changes.deletions[i].key});
    for (size_t i = 0; i < changes.replacements.size(); ++i)
        pending_.emplace(changes.replacements[i].number, Pending{{Kind::Replace, i}, changes.replacements[i].key});
}

CardChangeMatcher::Match CardChangeMatcher::take(const CardRecord& card)
{
    auto [at, end] = pending_.equal_range(card[indexOf(Field::RecordNumber)]);
    if (at == end) return {};
    const CardKeySet::Key key = CardKeySet::keyOfText(card, scratch_);
    for (; at != end; ++at) {
        if (at->second.key != key) continue;
        const Match match = at->second.match;
        pending_.erase(at);
        return match;
    }
    return {};
}

void CardChangeMatcher::left(CardChangesApplied& applied) const
{
    for (const auto& [number, pending] : pending_)
        (pending.match.kind == Kind::Delete ? applied.deletionsLeft : applied.replacementsLeft)
            .push_back(pending.match.index);
    std::sort(applied.deletionsLeft.begin(), applied.deletionsLeft.end());
    std::sort(applied.replacementsLeft.begin(), applied.replacementsLeft.end());
}

} // namespace kestrix
