// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardKeySet.h"

#include <QHash>

#include <cstring>

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

CardKeySet::Key CardKeySet::keyOfText(const CardRecord& card, TextKey& scratch)
{
    scratch.clear();
    for (int i = 0; i < kFieldCount - 1; ++i) scratch.add(card[i]);
    return scratch.key();
}

// Each field after its length, so that no two cards join into one text.
// Written in place: a key is made for every card of an import and every
// card stored, and appending a character at a time costs more than the rest.
QChar* CardKeySet::TextKey::extend(qsizetype length)
{
    const qsizetype at = text_.size();
    text_.resize(at + 2 + length);
    QChar* const place = text_.data() + at;
    place[0] = QChar(static_cast<char16_t>(static_cast<quint32>(length) >> 16));
    place[1] = QChar(static_cast<char16_t>(length & 0xffff));
    return place + 2;
}

void CardKeySet::TextKey::add(QStringView field)
{
    QChar* const place = extend(field.size());
    // An empty field's text may be no memory at all.
    if (!field.isEmpty())
        std::memcpy(static_cast<void*>(place), field.data(), static_cast<size_t>(field.size()) * sizeof(QChar));
}

void CardKeySet::TextKey::addAscii(QByteArrayView field)
{
    QChar* place = extend(field.size());
    for (const char c : field) *place++ = QLatin1Char(c);
}

CardKeySet::Key CardKeySet::TextKey::key() const
{
    return {qHash(QStringView(text_), 0x6b657374), qHash(QStringView(text_), 0x72697821)};
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
