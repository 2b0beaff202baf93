// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardKeySet.h"

#include <QHash>

namespace kestrix {

CardKeySet::Key CardKeySet::keyOf(QByteArrayView line, QByteArray& scratch)
{
    // The stored line always ends in CR LF; breaks inside it may differ.
    if (line.indexOf('\n') < line.size() - 1) {
        scratch = line.toByteArray();
        scratch.replace("\r\n", "\n");
        line = scratch;
    }
    return {qHash(line, 0x6b657374), qHash(line, 0x72697821)};
}

CardKeySet::Key CardKeySet::keyOfText(const CardRecord& card, QString& scratch)
{
    // Each field after its length, so that no two cards join into one text.
    scratch.clear();
    for (Field field : kAllFields) {
        if (field == Field::RecordNumber) continue;
        const QString& text = card[indexOf(field)];
        const auto length = static_cast<quint32>(text.size());
        scratch += QChar(static_cast<char16_t>(length >> 16));
        scratch += QChar(static_cast<char16_t>(length & 0xffff));
        scratch += text;
    }
    return {qHash(QStringView(scratch), 0x6b657374), qHash(QStringView(scratch), 0x72697821)};
}

bool CardKeySet::contains(const Key& key) const
{
    if (key == Key{}) return holdsZero_;
    if (slots_.empty()) return false;
    const size_t mask = slots_.size() - 1;
    for (size_t at = key.first & mask;; at = (at + 1) & mask) {
        if (slots_[at] == key) return true;
        if (slots_[at] == Key{}) return false;
    }
}

bool CardKeySet::insert(const Key& key)
{
    if (key == Key{}) {
        const bool added = !holdsZero_;
        holdsZero_ = true;
        size_ += added;
        return added;
    }
    // At most half full, so a search meets a free slot soon.
    if (static_cast<size_t>(size_ + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t at = key.first & mask;; at = (at + 1) & mask) {
        if (slots_[at] == key) return false;
        if (slots_[at] == Key{}) {
            slots_[at] = key;
            ++size_;
            return true;
        }
    }
}

void CardKeySet::grow()
{
    std::vector<Key> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Key& key : old) {
        if (key == Key{}) continue;
        size_t at = key.first & mask;
        while (!(slots_[at] == Key{})) at = (at + 1) & mask;
        slots_[at] = key;
    }
}

} // namespace kestrix
