// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CompactEntries.h"
#include "EntryFinder.h"

#include <QAbstractListModel>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrix {

// The search window's list: entries kept compactly with their companies,
// sorted once, and made into text only when a row is shown or asked for.
class SearchListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // The role that gives a row's company.
    static constexpr int CompanyRole = Qt::UserRole;

    // Rows found by a search: first those where a word starts with the text
    // looked for, then the rest, each part in list order.
    struct Found {
        std::vector<int> rows;
        std::size_t atWordStarts = 0; // how many rows come first
    };

    // A row's entry and company, as text.
    struct Offer {
        QString entry;
        QString company;
    };

    int rowCount(const QModelIndex& parent = {}) const override;
    // The drop-down lays out every row when it opens; this spares each row
    // the generic checks' calls.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    // The row's entry for DisplayRole and EditRole, its company for CompanyRole.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Exact, case-sensitive searches of the text, as the combo box makes on
    // Return and when it loses the focus, look the text up in the sorted
    // entries instead of making every entry a string.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

    // The text of `row`, which must be listed; for whatever reads many rows.
    QString entry(int row) const
    {
        Q_ASSERT(row >= 0 && static_cast<size_t>(row) < order_.size());
        return entries_.text(order_[static_cast<size_t>(row)]);
    }

    // The rows whose entry or company holds `finder`'s text; with `among`
    // (rows in list order), only rows from there.
    Found rowsWith(const EntryFinder& finder, const std::vector<int>* among = nullptr) const;

    // A sample of the entries likely to be widest on screen, for sizing a
    // list without measuring every entry: the few dozen with the most
    // characters, a character beyond U+00FF (a CJK one, say) counting as two.
    // Found once per fill.
    const QStringList& longestEntries() const;
    // The same for entries shown with their companies: the few dozen with
    // the most characters in both.
    const QList<Offer>& longestOffers() const;

    void clear();
    // Shows `entries` sorted, in one reset.
    void setEntries(CompactEntries entries);

private:
    // The indices of the few dozen entries that weigh most by `weightOf`.
    template <typename WeightOf>
    std::vector<qsizetype> heaviest(const WeightOf& weightOf) const;

    CompactEntries entries_;
    std::vector<quint32> order_; // row -> index into entries_
    mutable std::optional<QStringList> longest_;
    mutable std::optional<QList<Offer>> longestOffers_;
};

} // namespace kestrix
