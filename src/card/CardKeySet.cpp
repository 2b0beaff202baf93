// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardKeySet.h"

#include <QStringEncoder>

#include <cstring>

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

CardKeySet::Key CardKeySet::keyOfText(const CardRecord& card, QByteArray& scratch)
{
    // Encoded into one buffer, as keyOfUtf8 lays the fields out: a key made
    // for every card of an import allocates nothing.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    scratch.resize(0);
    for (int i = 0; i < kFieldCount - 1; ++i) {
        const qsizetype at = scratch.size();
        scratch.resize(at + qsizetype(sizeof(quint32)) + encoder.requiredSpace(card[i].size()));
        char* const begin = scratch.data() + at + sizeof(quint32);
        const auto length = static_cast<quint32>(encoder.appendToBuffer(begin, card[i]) - begin);
        std::memcpy(scratch.data() + at, &length, sizeof length);
        scratch.resize(at + qsizetype(sizeof length) + length);
    }
    return {qHash(QByteArrayView(scratch), 0x6b657374), qHash(QByteArrayView(scratch), 0x72697821)};
}

CardKeySet::Key CardKeySet::keyOfUtf8(const std::array<QByteArrayView, kFieldCount - 1>& fields, QByteArray& scratch)
{
    // Each field after its length, so that no two cards join into one text.
    scratch.resize(0);
    for (const QByteArrayView field : fields) {
        const auto length = static_cast<quint32>(field.size());
        scratch.append(reinterpret_cast<const char*>(&length), sizeof length);
        scratch.append(field);
    }
    return {qHash(QByteArrayView(scratch), 0x6b657374), qHash(QByteArrayView(scratch), 0x72697821)};
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
