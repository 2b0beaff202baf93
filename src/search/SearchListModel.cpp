// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchListModel.h"

#include "EntryOrder.h"

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
    endResetModel();
}

} // namespace kestrix
