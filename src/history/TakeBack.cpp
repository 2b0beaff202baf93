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

bool takeBack(qint64 afterSize, const ChangeRecord& change, const TakeBackSteps& steps)
{
    const std::vector<const RecordedCard*> added = byOffset(change.added);
    const std::vector<const RecordedCard*> removed = byOffset(change.removed);
    // `at` walks the file after the change, `made` the file before it.
    qint64 at = 0, made = 0;
    size_t nextAdded = 0, nextRemoved = 0;
    for (;;) {
        if (nextRemoved < removed.size() && removed[nextRemoved]->offset == made) {
            const QByteArray& bytes = removed[nextRemoved++]->bytes;
            if (!steps.put(bytes)) return false;
            made += bytes.size();
            continue;
        }
        if (nextAdded < added.size() && added[nextAdded]->offset == at) {
            const QByteArray& bytes = added[nextAdded++]->bytes;
            if (at + bytes.size() > afterSize || !steps.stands(at, bytes)) return false;
            at += bytes.size();
            continue;
        }
        // Kept bytes, up to where the next added or removed stretch stands.
        qint64 until = afterSize;
        if (nextAdded < added.size()) until = std::min(until, added[nextAdded]->offset);
        if (nextRemoved < removed.size()) until = std::min(until, at + removed[nextRemoved]->offset - made);
        if (until <= at) return at == afterSize && nextAdded == added.size() && nextRemoved == removed.size();
        if (!steps.keep(at, until - at)) return false;
        made += until - at;
        at = until;
    }
}

bool takeBack(QByteArrayView after, const ChangeRecord& change, QByteArray& before)
{
    before.clear();
    const bool whole =
        takeBack(after.size(), change,
                 {[&](qint64 from, qint64 length) {
                      before += after.sliced(from, length);
                      return true;
                  },
                  [&](QByteArrayView bytes) {
                      before += bytes;
                      return true;
                  },
                  [&](qint64 at, QByteArrayView bytes) { return after.sliced(at, bytes.size()) == bytes; }});
    if (!whole) before.clear();
    return whole;
}

} // namespace kestrix
