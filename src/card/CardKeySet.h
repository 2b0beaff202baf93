// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrix {

// Which cards a file holds, by a key of all their bytes (or of their text
// but the number, keyOfText): two hashes of 64 bits each, so two different
// cards share a key with a chance of one in 2^128, and the cards of a big
// file need not be held in memory. A line break stored as CR LF and one
// stored as a lone LF give the same key: the card reads the same either way.
//
// Open addressing in one array: 16 bytes a card, about 48 MB at most for a
// million cards while the array grows, where a node-based set takes three
// times that.
class CardKeySet {
public:
    struct Key {
        std::uint64_t first = 0;
        std::uint64_t second = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };

    // The key of a card's stored line. `scratch` is reused between calls.
    static Key keyOf(QByteArrayView line, QByteArray& scratch);
    // The key of a card's text made a field at a time, from 1 to 13, its
    // record number left out: the same card under another number has the
    // same key. Made from the text, so a card stored in an older encoding
    // meets the same text from elsewhere. Each field is framed as a card
    // line frames it, its UTF-8 quoted with a comma after, a quote in it
    // doubled; so a stored line in UTF-8 is its own key text, without being
    // decoded (addFramed). Reuse one between cards.
    class TextKey {
    public:
        void clear() { used_ = 0; }
        void add(QStringView field);
        // Fields framed as above, that hold no quote and are their texts'
        // UTF-8: StoredCard::itemsBeforeNumber where isUtf8OfItsText.
        void addFramed(QByteArrayView fields);
        Key key() const;

    private:
        char* room(qsizetype octets);

        QByteArray bytes_; // kept between cards
        qsizetype used_ = 0;
    };
    static Key keyOfText(const CardRecord& card, TextKey& scratch);

    // False when the key was there already.
    bool insert(const Key& key);
    bool contains(const Key& key) const;
    // Room for `count` keys without growing, which moves every key.
    void reserve(qsizetype count);
    qsizetype size() const { return size_; }

private:
    void grow();
    void rehash(size_t slotCount);

    // Large tables on huge pages: a key's slot is anywhere in it, and with
    // pages of 4 KiB nearly every look-up of a big set missed the TLB.
    struct SlotAllocator {
        using value_type = Key;
        template <class>
        struct rebind {
            using other = SlotAllocator;
        };
        SlotAllocator() = default;
        Key* allocate(size_t count);
        void deallocate(Key* slots, size_t count) noexcept;
        friend bool operator==(const SlotAllocator&, const SlotAllocator&) = default;
    };
    std::vector<Key, SlotAllocator> slots_; // a key of all zeros marks a free slot
    qsizetype size_ = 0;
    bool holdsZero_ = false; // the one key a free slot cannot hold
};

} // namespace kestrix
