// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "OfferDelegate.h"

#include "searchindex/SearchListModel.h"

#include <QApplication>
#include <QPainter>

namespace kestrix {

namespace {

// Between an entry and its company: wider than the two blanks inside an
// entry, so the company reads as apart from the name.
int gapWidth(const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(QStringLiteral("    "));
}

} // namespace

int offerTextWidth(const QFontMetrics& metrics, const QString& entry, const QString& company)
{
    const int width = metrics.horizontalAdvance(entry);
    return company.isEmpty() ? width : width + gapWidth(metrics) + metrics.horizontalAdvance(company);
}

QColor quieterText(const QColor& text, const QColor& background)
{
    const auto mix = [](float a, float b) { return (2 * a + b) / 3; };
    return QColor::fromRgbF(mix(text.redF(), background.redF()), mix(text.greenF(), background.greenF()),
                            mix(text.blueF(), background.blueF()));
}

void OfferDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString entry = item.text;
    const QString company = index.data(SearchListModel::CompanyRole).toString();
    // The row's background, selection and focus as the style draws them;
    // the texts on top.
    item.text.clear();
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
        : (item.state & QStyle::State_Active)                                ? QPalette::Active
                                                                             : QPalette::Inactive;
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    const QColor text = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor background = item.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    // The margin the style leaves on either side of an item's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect room =
        style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(margin, 0, -margin, 0);
    const QFontMetrics& metrics = item.fontMetrics;
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;

    painter->save();
    painter->setFont(item.font);
    painter->setPen(text);
    painter->drawText(room, flags, metrics.elidedText(entry, Qt::ElideRight, room.width()));
    const int companyLeft = metrics.horizontalAdvance(entry) + gapWidth(metrics);
    if (!company.isEmpty() && companyLeft < room.width()) {
        painter->setPen(quieterText(text, background));
        const QRect companyRoom = room.adjusted(companyLeft, 0, 0, 0);
        painter->drawText(companyRoom, flags, metrics.elidedText(company, Qt::ElideRight, companyRoom.width()));
    }
    painter->restore();
}

} // namespace kestrix
