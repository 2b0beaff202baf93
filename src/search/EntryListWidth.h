// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

class QAbstractItemView;

namespace kestrix {

class SearchListModel;

// How wide `list` must be to show whole entries of `entries`. Measures a
// sample, not every entry of a million: the entries with the most characters
// (SearchListModel::longestEntries).
int entryListWidth(const SearchListModel& entries, const QAbstractItemView& list);

// How wide `list` must be to show whole offers, each entry with its company
// (OfferDelegate); measures a sample the same way.
int offerListWidth(const SearchListModel& entries, const QAbstractItemView& list);

} // namespace kestrix
