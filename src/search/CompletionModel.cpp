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
    std::vector<int> rows;
    if (!finder.isEmpty()) rows = entries_->rowsWith(finder, narrowing ? &rows_ : nullptr);
    beginResetModel();
    finder_ = std::move(finder);
    rows_ = std::move(rows);
    endResetModel();
}

void CompletionModel::forget()
{
    finder_ = EntryFinder();
    rows_.clear();
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
    const auto found = std::lower_bound(rows_.begin(), rows_.end(), sourceIndex.row());
    if (!sourceIndex.isValid() || found == rows_.end() || *found != sourceIndex.row()) return {};
    return index(static_cast<int>(found - rows_.begin()));
}

} // namespace kestrix
