// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchListModel.h"

#include "EntryOrder.h"

#include <algorithm>
#include <future>
#include <thread>

namespace kestrix {

int SearchListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

QModelIndex SearchListModel::index(int row, int column, const QModelIndex& parent) const
{
    const bool listed = row >= 0 && row < rowCount() && column == 0 && !parent.isValid();
    return listed ? createIndex(row, column) : QModelIndex();
}

QVariant SearchListModel::data(const QModelIndex& index, int role) const
{
    // The combo box asks for its current row's text even when it has none.
    const bool listed = index.isValid() && index.row() < rowCount();
    if (!listed) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return entry(index.row());
    if (role == CompanyRole) return entries_.companyText(order_[static_cast<size_t>(index.row())]);
    return {};
}

QModelIndexList SearchListModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                       Qt::MatchFlags flags) const
{
    const bool exactText = (flags & ~Qt::MatchFixedString) == Qt::MatchFlags(Qt::MatchCaseSensitive)
        && (role == Qt::DisplayRole || role == Qt::EditRole) && value.metaType() == QMetaType::fromType<QString>();
    if (!exactText || start != index(0) || hits == 0) return QAbstractListModel::match(start, role, value, hits, flags);

    const QString wanted = value.toString();
    const auto wantedUnits = CompactEntries::Units::of(wanted);
    const auto compareRow = [&](int row) { return compareEntries(entries_.units(order_[size_t(row)]), wantedUnits); };
    // The rows are in the order compareEntries gives: the text's own rows,
    // if any, stand together where the rows before it end.
    const auto firstNotBefore = std::partition_point(order_.begin(), order_.end(), [&](quint32 stored) {
        return compareEntries(entries_.units(stored), wantedUnits) < 0;
    });
    int row = int(firstNotBefore - order_.begin());
    QModelIndexList found;
    for (; row < rowCount() && compareRow(row) == 0 && (hits < 0 || found.size() < hits); ++row)
        found.append(index(row));
    return found;
}

SearchListModel::Found SearchListModel::rowsWith(const EntryFinder& finder, const std::vector<int>* among) const
{
    using Seen = EntryFinder::Found;
    const size_t rowCount = among ? among->size() : order_.size();
    const auto rowAt = [&](size_t k) { return among ? (*among)[k] : int(k); };
    const auto storedAt = [&](size_t k) { return static_cast<size_t>(order_[static_cast<size_t>(rowAt(k))]); };
    // Where many entries are looked at, what was found is kept by the order
    // the entries are stored in, which is the order in memory, and they are
    // read in that order: much faster than in list order. A few are looked
    // up where they are.
    const bool many = rowCount > static_cast<size_t>(entries_.size()) / 16;
    constexpr auto kToLook = static_cast<Seen>(0xfe);
    std::vector<Seen> found(many ? static_cast<size_t>(entries_.size()) : rowCount, Seen::Nowhere);
    if (many && among)
        for (size_t k = 0; k < rowCount; ++k) found[storedAt(k)] = kToLook;
    const auto look = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            if (!many)
                found[i] = finder.foundIn(entries_.card(qsizetype(storedAt(i))));
            else if (!among || found[i] == kToLook)
                found[i] = finder.foundIn(entries_.card(qsizetype(i)));
        }
    };
    // With many entries to look at, the processor's cores share them, each a
    // stretch of its own.
    constexpr size_t kWorthSharing = 10000;
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    if (rowCount < kWorthSharing || cores == 1) {
        look(0, found.size());
    } else {
        std::vector<std::future<void>> others;
        const size_t stretch = (found.size() + cores - 1) / cores;
        for (size_t from = stretch; from < found.size(); from += stretch)
            others.push_back(std::async(std::launch::async, look, from, std::min(found.size(), from + stretch)));
        look(0, std::min(found.size(), stretch));
        for (std::future<void>& other : others) other.get();
    }

    // Then the rows in list order: where a word starts with the text, then
    // the rest.
    const auto foundAt = [&](size_t k) { return found[many ? storedAt(k) : k]; };
    Found rows;
    rows.rows.reserve(rowCount);
    for (size_t k = 0; k < rowCount; ++k)
        if (foundAt(k) == Seen::AtAWordStart) rows.rows.push_back(rowAt(k));
    rows.atWordStarts = rows.rows.size();
    for (size_t k = 0; k < rowCount; ++k)
        if (foundAt(k) == Seen::InsideAWord) rows.rows.push_back(rowAt(k));
    return rows;
}

template <typename WeightOf>
std::vector<qsizetype> SearchListModel::heaviest(const WeightOf& weightOf) const
{
    constexpr size_t count = 64;
    // The heaviest so far, lightest first: a heap.
    using Candidate = std::pair<qsizetype, qsizetype>; // weight, index
    std::vector<Candidate> heaviest;
    const auto heavier = [](const Candidate& a, const Candidate& b) { return a.first > b.first; };
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const qsizetype weight = weightOf(i);
        if (heaviest.size() == count && weight <= heaviest.front().first) continue;
        if (heaviest.size() == count) {
            std::pop_heap(heaviest.begin(), heaviest.end(), heavier);
            heaviest.pop_back();
        }
        heaviest.emplace_back(weight, i);
        std::push_heap(heaviest.begin(), heaviest.end(), heavier);
    }
    std::vector<qsizetype> indices;
    indices.reserve(heaviest.size());
    for (const Candidate& candidate : heaviest) indices.push_back(candidate.second);
    return indices;
}

namespace {

// A character beyond U+00FF (a CJK one, say) counts as two.
qsizetype weightOf(CompactEntries::Units text)
{
    return text.wide ? 2 * text.size : text.size;
}

} // namespace

const QStringList& SearchListModel::longestEntries() const
{
    if (longest_) return *longest_;
    longest_.emplace();
    for (qsizetype i : heaviest([this](qsizetype i) { return weightOf(entries_.units(i)); }))
        longest_->append(entries_.text(i));
    return *longest_;
}

const QList<SearchListModel::Offer>& SearchListModel::longestOffers() const
{
    if (longestOffers_) return *longestOffers_;
    longestOffers_.emplace();
    // A card's bytes are its entry's and its company's, two for a character
    // beyond U+00FF, and a byte or two more for the company's length.
    for (qsizetype i : heaviest([this](qsizetype i) { return entries_.cardBytes(i); }))
        longestOffers_->append({entries_.text(i), entries_.companyText(i)});
    return *longestOffers_;
}

void SearchListModel::clear()
{
    setEntries({});
}

void SearchListModel::setEntries(CompactEntries entries)
{
    std::vector<quint32> order = sortedOrder(entries);
    beginResetModel();
    entries_ = std::move(entries);
    order_ = std::move(order);
    longest_.reset();
    longestOffers_.reset();
    endResetModel();
}

} // namespace kestrix
