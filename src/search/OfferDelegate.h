// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

namespace kestrix {

// Draws an offer of the completion popup: the entry, then its card's company
// in a quieter colour, so namesakes can be told apart. The entry alone is
// the row's text: picking it puts only the entry into the box.
class OfferDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// How wide an offer's text is drawn.
int offerTextWidth(const QFontMetrics& metrics, const QString& entry, const QString& company);

// The colour of a company's text: two parts `text` to one part
// `background`, plainly fainter than the entry yet well readable.
QColor quieterText(const QColor& text, const QColor& background);

} // namespace kestrix
