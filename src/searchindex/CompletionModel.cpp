// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CompletionModel.h"

#include "SearchListModel.h"

#include <algorithm>

namespace kestrix {

CompletionModel::CompletionModel(SearchListModel* entries, QObject* parent)
    : QAbstractProxyModel(parent), entries_(entries)
{
    setSourceModel(entries);
    // A refilled list makes the rows found in the old one meaningless.
    connect(entries, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(entries, &QAbstractItemModel::modelReset, this, [this] {
        forget();
        endResetModel();
    });
}

void CompletionModel::setText(QStringView text)
{
    EntryFinder finder(text);
    // A text that holds the last one (a letter typed on) is looked for only
    // among the entries found last time.
    const bool narrowing = !finder_.isEmpty() && finder.narrows(finder_);
    SearchListModel::Found found;
    if (narrowing) {
        const std::vector<int> among = inListOrder();
        found = entries_->rowsWith(finder, &among);
    } else if (!finder.isEmpty()) {
        found = entries_->rowsWith(finder);
    }
    beginResetModel();
    finder_ = std::move(finder);
    rows_ = std::move(found.rows);
    atWordStarts_ = found.atWordStarts;
    endResetModel();
}

void CompletionModel::forget()
{
    finder_ = EntryFinder();
    rows_.clear();
    atWordStarts_ = 0;
}

std::vector<int> CompletionModel::inListOrder() const
{
    std::vector<int> rows(rows_.size());
    const auto split = rows_.begin() + static_cast<std::ptrdiff_t>(atWordStarts_);
    std::merge(rows_.begin(), split, split, rows_.end(), rows.begin());
    return rows;
}

int CompletionModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CompletionModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QModelIndex CompletionModel::index(int row, int column, const QModelIndex& parent) const
{
    const bool listed = row >= 0 && row < rowCount() && column == 0 && !parent.isValid();
    return listed ? createIndex(row, column) : QModelIndex();
}

QModelIndex CompletionModel::parent(const QModelIndex&) const
{
    return {};
}

QModelIndex CompletionModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount()) return {};
    return entries_->index(rows_[static_cast<size_t>(proxyIndex.row())]);
}

QModelIndex CompletionModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid()) return {};
    const auto split = rows_.begin() + static_cast<std::ptrdiff_t>(atWordStarts_);
    for (const auto& [begin, end] : {std::pair{rows_.begin(), split}, std::pair{split, rows_.end()}}) {
        const auto found = std::lower_bound(begin, end, sourceIndex.row());
        if (found != end && *found == sourceIndex.row()) return index(static_cast<int>(found - rows_.begin()));
    }
    return {};
}

QVariant CompletionModel::data(const QModelIndex& proxyIndex, int role) const
{
    if (role != Qt::AccessibleTextRole) return QAbstractProxyModel::data(proxyIndex, role);
    const QModelIndex row = mapToSource(proxyIndex);
    const QString company = row.data(SearchListModel::CompanyRole).toString();
    const QString entry = row.data().toString();
    return company.isEmpty() ? entry : entry + QStringLiteral(", ") + company;
}

} // namespace kestrix
