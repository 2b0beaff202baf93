// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardChanges.h"

#include "CardLine.h"

#include <algorithm>

namespace kestrix {

CardChangeMatcher::CardChangeMatcher(const CardChanges& changes)
{
    for (size_t i = 0; i < changes.deletions.size(); ++i)
        pending_.emplace(changes.deletions[i].number, Pending{{Kind::Delete, i}, changes.deletions[i].key});
    for (size_t i = 0; i < changes.replacements.size(); ++i)
        pending_.emplace(changes.replacements[i].number, Pending{{Kind::Replace, i}, changes.replacements[i].key});
}

bool CardChanges::holdsDoubleQuote() const
{
    const auto quoted = [](const CardRecord& card) { return firstFieldWithDoubleQuote(card).has_value(); };
    return std::any_of(additions.begin(), additions.end(), quoted)
        || std::any_of(replacements.begin(), replacements.end(), [&](const Replacement& r) { return quoted(r.card); });
}

QByteArray CardChanges::replacementLine(size_t index) const
{
    CardRecord card = replacements[index].card;
    card[indexOf(Field::RecordNumber)] = replacements[index].number;
    return cardLine(card);
}

QByteArrayList CardChanges::additionLines(const QStringList& numbers) const
{
    Q_ASSERT(numbers.size() == static_cast<qsizetype>(additions.size()));
    QByteArrayList lines;
    for (size_t i = 0; i < additions.size(); ++i) {
        CardRecord card = additions[i];
        card[indexOf(Field::RecordNumber)] = numbers[static_cast<qsizetype>(i)];
        lines << cardLine(card);
    }
    return lines;
}

CardChangeMatcher::Match CardChangeMatcher::take(const QString& number, const std::function<CardRecord()>& record)
{
    auto [at, end] = pending_.equal_range(number);
    if (at == end) return {};
    const CardKeySet::Key key = CardKeySet::keyOfText(record(), scratch_);
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
