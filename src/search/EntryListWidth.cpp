// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryListWidth.h"

#include "OfferDelegate.h"
#include "searchindex/SearchListModel.h"

#include <QAbstractItemView>
#include <QStyle>

#include <algorithm>

namespace kestrix {

namespace {

int withMargins(int textWidth, const QAbstractItemView& list)
{
    const QStyle* style = list.style();
    // The item's text margin on each side, the list's frame, and a scroll bar.
    const int itemMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
    return textWidth + 2 * itemMargin + 2 * list.frameWidth()
        + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
}

} // namespace

int entryListWidth(const SearchListModel& entries, const QAbstractItemView& list)
{
    int textWidth = 0;
    for (const QString& entry : entries.longestEntries())
        textWidth = std::max(textWidth, list.fontMetrics().horizontalAdvance(entry));
    return withMargins(textWidth, list);
}

int offerListWidth(const SearchListModel& entries, const QAbstractItemView& list)
{
    int textWidth = 0;
    for (const SearchListModel::Offer& offer : entries.longestOffers())
        textWidth = std::max(textWidth, offerTextWidth(list.fontMetrics(), offer.entry, offer.company));
    return withMargins(textWidth, list);
}

} // namespace kestrix
