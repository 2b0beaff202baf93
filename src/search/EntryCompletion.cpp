// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryCompletion.h"

#include "CompletionModel.h"
#include "EntryComboBox.h"
#include "EntryListWidth.h"
#include "SearchListModel.h"

#include <QAbstractProxyModel>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>

#include <algorithm>

namespace kestrix {

EntryCompletion::EntryCompletion(EntryComboBox* combo, SearchListModel* entries)
    : QObject(combo),
      combo_(combo),
      entries_(entries),
      matches_(new CompletionModel(entries, this)),
      completer_(new QCompleter(this))
{
    // The completer is not the line edit's: that one would hand it the typed
    // text to match, and its matching makes every entry a string. Its prefix
    // stays empty, so it lists whatever the model found.
    completer_->setWidget(combo);
    completer_->setModel(matches_);
    completer_->setMaxVisibleItems(10);
    auto* popup = new QListView;
    popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    popup->setSelectionBehavior(QAbstractItemView::SelectRows);
    popup->setSelectionMode(QAbstractItemView::SingleSelection);
    popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A million matches are laid out without asking each for its size, and a
    // few thousand at a time: the popup shows its first rows at once and lays
    // out the rest between key presses.
    popup->setUniformItemSizes(true);
    popup->setLayoutMode(QListView::Batched);
    popup->setBatchSize(5000);
    popup->setAccessibleName(QStringLiteral("Matching entries"));
    completer_->setPopup(popup);

    connect(combo->lineEdit(), &QLineEdit::textEdited, this, &EntryCompletion::update);
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this, &EntryCompletion::choose);
    connect(entries, &QAbstractItemModel::modelReset, this, &EntryCompletion::hide);
}

void EntryCompletion::hide()
{
    completer_->popup()->hide();
}

void EntryCompletion::update(const QString& text)
{
    matches_->setText(text);
    if (matches_->rowCount() == 0) {
        hide();
        return;
    }
    // Below the combo box, as wide as the longest entries; the completer
    // keeps it on the screen.
    const int width = std::max(combo_->width(), entryListWidth(*entries_, *completer_->popup()));
    completer_->complete(QRect(0, 0, width, combo_->height()));
}

void EntryCompletion::choose(const QModelIndex& index)
{
    // The completer hands over a row of its own model, which wraps ours.
    const auto* listed = qobject_cast<const QAbstractProxyModel*>(completer_->completionModel());
    const QModelIndex row = matches_->mapToSource(listed ? listed->mapToSource(index) : index);
    if (row.isValid()) combo_->choose(row.row());
}

} // namespace kestrix
