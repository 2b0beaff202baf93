// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "EntryFinder.h"

#include <QAbstractProxyModel>

#include <vector>

namespace kestrix {

class SearchListModel;

// The completion popup's list: the search list's entries whose entry or
// company holds the typed text anywhere, ignoring letter case and accents.
// Those where a word (or the number) starts with it come first, the rest
// after, each in list order. A row maps to its row in the search list, so
// choosing it chooses that entry.
class CompletionModel : public QAbstractProxyModel {
    Q_OBJECT

public:
    explicit CompletionModel(SearchListModel* entries, QObject* parent = nullptr);

    // Lists the entries holding `text`; none for the empty text.
    void setText(QStringView text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    // A screen reader hears the company after the entry.
    QVariant data(const QModelIndex& proxyIndex, int role = Qt::DisplayRole) const override;

private:
    void forget();
    // The rows found last, in list order.
    std::vector<int> inListOrder() const;

    SearchListModel* entries_;
    EntryFinder finder_;
    // Rows of entries_: the first `atWordStarts` ascending, the rest too.
    std::vector<int> rows_;
    std::size_t atWordStarts_ = 0;
};

} // namespace kestrix
