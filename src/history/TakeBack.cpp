// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "TakeBack.h"

#include <algorithm>
#include <vector>

namespace kestrix {

namespace {

std::vector<const RecordedCard*> byOffset(const std::vector<RecordedCard>& cards)
{
    std::vector<const RecordedCard*> sorted;
    sorted.reserve(cards.size());
    for (const RecordedCard& card : cards) sorted.push_back(&card);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const RecordedCard* a, const RecordedCard* b) { return a->offset < b->offset; });
    return sorted;
}

} // namespace

bool takeBack(QByteArrayView after, const ChangeRecord& change, QByteArray& before)
{
    before.clear();
    const std::vector<const RecordedCard*> added = byOffset(change.added);
    const std::vector<const RecordedCard*> removed = byOffset(change.removed);
    // `at` walks the file after the change, `before.size()` the file before it.
    qsizetype at = 0;
    size_t nextAdded = 0, nextRemoved = 0;
    for (;;) {
        if (nextRemoved < removed.size() && removed[nextRemoved]->offset == before.size()) {
            before += removed[nextRemoved++]->bytes;
            continue;
        }
        if (nextAdded < added.size() && added[nextAdded]->offset == at) {
            const QByteArray& bytes = added[nextAdded++]->bytes;
            if (!after.sliced(at).startsWith(bytes)) break;
            at += bytes.size();
            continue;
        }
        // Kept bytes, up to where the next added or removed stretch stands.
        qsizetype until = after.size();
        if (nextAdded < added.size()) until = std::min(until, static_cast<qsizetype>(added[nextAdded]->offset));
        if (nextRemoved < removed.size())
            until = std::min(until, at + static_cast<qsizetype>(removed[nextRemoved]->offset) - before.size());
        if (until <= at) {
            if (at == after.size() && nextAdded == added.size() && nextRemoved == removed.size()) return true;
            break;
        }
        before += after.sliced(at, until - at);
        at = until;
    }
    before.clear();
    return false;
}

} // namespace kestrix
