// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchListModel.h"

#include "EntryOrder.h"

#include <algorithm>
#include <ranges>

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
    if (!listed || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return entry(index.row());
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
    const auto rows = std::views::iota(0, rowCount());
    int row = int(std::ranges::partition_point(rows, [&](int r) { return compareRow(r) < 0; }) - rows.begin());
    QModelIndexList found;
    for (; row < rowCount() && compareRow(row) == 0 && (hits < 0 || found.size() < hits); ++row)
        found.append(index(row));
    return found;
}

std::vector<int> SearchListModel::rowsWith(const EntryFinder& finder, const std::vector<int>* among) const
{
    std::vector<int> rows;
    if (among) {
        for (int row : *among)
            if (finder.foundIn(entries_.units(order_[size_t(row)]))) rows.push_back(row);
        return rows;
    }
    // Read in the order they are stored, which is the order in memory, and
    // only then put in list order: much faster than reading them in list order.
    std::vector<bool> found(order_.size());
    for (qsizetype i = 0; i < entries_.size(); ++i) found[size_t(i)] = finder.foundIn(entries_.units(i));
    for (size_t row = 0; row < order_.size(); ++row)
        if (found[order_[row]]) rows.push_back(int(row));
    return rows;
}

const QStringList& SearchListModel::longestEntries() const
{
    if (longest_) return *longest_;
    constexpr size_t count = 64;
    // The longest so far, shortest first: a heap.
    using Candidate = std::pair<qsizetype, qsizetype>; // weight, index
    std::vector<Candidate> longest;
    const auto longer = [](const Candidate& a, const Candidate& b) { return a.first > b.first; };
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const CompactEntries::Units entry = entries_.units(i);
        const qsizetype weight = entry.wide ? 2 * entry.size : entry.size;
        if (longest.size() == count && weight <= longest.front().first) continue;
        if (longest.size() == count) {
            std::pop_heap(longest.begin(), longest.end(), longer);
            longest.pop_back();
        }
        longest.emplace_back(weight, i);
        std::push_heap(longest.begin(), longest.end(), longer);
    }
    longest_.emplace();
    for (const Candidate& candidate : longest) longest_->append(entries_.text(candidate.second));
    return *longest_;
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
    endResetModel();
}

} // namespace kestrix
