// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardKeySet.h"

#include <QHash>
#include <QStringEncoder>

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kestrix {

namespace {

// MurmurHash64A (Austin Appleby's, in the public domain). Qt's qHash mixes
// in a seed drawn afresh by every process, and a sync keeps keys in a file
// for the next run: a key must be the same from one run to the next.
std::uint64_t stableHash(QByteArrayView bytes, std::uint64_t seed)
{
    constexpr std::uint64_t m = 0xc6a4a7935bd1e995ull;
    constexpr int r = 47;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t length = static_cast<size_t>(bytes.size());
    std::uint64_t h = seed ^ (length * m);
    const size_t whole = length / 8;
    for (size_t i = 0; i < whole; ++i) {
        std::uint64_t k = 0;
        std::memcpy(&k, data + 8 * i, 8); // little-endian on every machine we build for
        k *= m;
        k ^= k >> r;
        k *= m;
        h ^= k;
        h *= m;
    }
    const unsigned char* tail = data + 8 * whole;
    switch (length & 7) {
    case 7:
        h ^= std::uint64_t(tail[6]) << 48;
        [[fallthrough]];
    case 6:
        h ^= std::uint64_t(tail[5]) << 40;
        [[fallthrough]];
    case 5:
        h ^= std::uint64_t(tail[4]) << 32;
        [[fallthrough]];
    case 4:
        h ^= std::uint64_t(tail[3]) << 24;
        [[fallthrough]];
    case 3:
        h ^= std::uint64_t(tail[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= std::uint64_t(tail[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= std::uint64_t(tail[0]);
        h *= m;
    }
    h ^= h >> r;
    h *= m;
    h ^= h >> r;
    return h;
}

CardKeySet::Key stableKey(QByteArrayView text)
{
    return {stableHash(text, 0x6b657374), stableHash(text, 0x72697821)};
}

} // namespace

CardKeySet::Key CardKeySet::keyOf(QByteArrayView line, QByteArray& scratch)
{
    // The stored line always ends in CR LF; breaks inside it may differ.
    if (line.indexOf('\n') < line.size() - 1) {
        scratch = line.toByteArray();
        scratch.replace("\r\n", "\n");
        line = scratch;
    }
    return stableKey(line);
}

CardKeySet::Key CardKeySet::keyOfText(const CardRecord& card, TextKey& scratch)
{
    scratch.clear();
    for (int i = 0; i < kFieldCount - 1; ++i) scratch.add(card[i]);
    return scratch.key();
}

// Written in place into a buffer kept from card to card: a key is made for
// every card of an import and every card stored, and building a text a
// field at a time cost more than the rest of the check.
char* CardKeySet::TextKey::room(qsizetype octets)
{
    if (used_ + octets > bytes_.size()) bytes_.resize(std::max(2 * bytes_.size(), used_ + octets));
    return bytes_.data() + used_;
}

void CardKeySet::TextKey::add(QStringView field)
{
    // Three octets a unit at most, or two for a doubled quote.
    char* at = room(3 + 3 * field.size());
    *at++ = '"';
    qsizetype ascii = 0;
    for (; ascii < field.size() && field[ascii].unicode() < 0x80; ++ascii) {
        const char c = static_cast<char>(field[ascii].unicode());
        if (c == '"') *at++ = '"';
        *at++ = c;
    }
    if (ascii < field.size()) {
        // Past the first character beyond ASCII a quote can still come.
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        for (QStringView rest = field.sliced(ascii); !rest.isEmpty();) {
            const qsizetype quote = rest.indexOf(QLatin1Char('"'));
            at = utf8.appendToBuffer(at, rest.first(quote < 0 ? rest.size() : quote + 1));
            if (quote < 0) break;
            *at++ = '"';
            rest = rest.sliced(quote + 1);
        }
    }
    *at++ = '"';
    *at++ = ',';
    used_ = at - bytes_.constData();
}

void CardKeySet::TextKey::addFramed(QByteArrayView fields)
{
    char* const at = room(fields.size());
    if (!fields.isEmpty()) std::memcpy(at, fields.data(), static_cast<size_t>(fields.size()));
    used_ += fields.size();
}

CardKeySet::Key CardKeySet::TextKey::key() const
{
    const QByteArrayView text(bytes_.constData(), used_);
    return stableKey(text);
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

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

} // namespace

CardKeySet::Key* CardKeySet::SlotAllocator::allocate(size_t count)
{
    const size_t bytes = count * sizeof(Key);
    if (bytes < kHugePage) return static_cast<Key*>(::operator new(bytes));
    void* memory = std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) / kHugePage * kHugePage);
    if (!memory) throw std::bad_alloc();
    (void)madvise(memory, bytes, MADV_HUGEPAGE); // a hint: without it, the set is only slower
    return static_cast<Key*>(memory);
}

void CardKeySet::SlotAllocator::deallocate(Key* memory, size_t count) noexcept
{
    if (count * sizeof(Key) < kHugePage)
        ::operator delete(memory);
    else
        std::free(memory);
}

void CardKeySet::grow()
{
    rehash(slots_.empty() ? 1024 : slots_.size() * 2);
}

void CardKeySet::reserve(qsizetype count)
{
    size_t slotCount = slots_.empty() ? 1024 : slots_.size();
    while (slotCount < static_cast<size_t>(count) * 2) slotCount *= 2;
    if (slotCount > slots_.size()) rehash(slotCount);
}

void CardKeySet::rehash(size_t slotCount)
{
    std::vector<Key, SlotAllocator> old(slotCount);
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
