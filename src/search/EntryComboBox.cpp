// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryComboBox.h"

#include "EntryCompletion.h"
#include "EntryListWidth.h"
#include "searchindex/SearchListModel.h"

#include <QLineEdit>
#include <QListView>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace kestrix {

EntryComboBox::EntryComboBox(SearchListModel* entries, QWidget* parent) : QComboBox(parent), entries_(entries)
{
    setEditable(true);
    // The list holds stored cards only: Return adds nothing. The line edit's
    // own completion would put an entry into the text part while the user
    // types; here typing never changes what is typed.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // With a hundred thousand cards, measuring every entry for the combo box's
    // size, or for the drop-down's row heights, would take seconds.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* list = new QListView(this);
    list->setUniformItemSizes(true);
    setView(list);
    setModel(entries);
    // An entry holds a whole contact name, which has no length limit.
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    completion_ = new EntryCompletion(this, entries);
    connect(completion_, &EntryCompletion::offerPicked, this, &EntryComboBox::choose);
    connect(this, &QComboBox::activated, this, &EntryComboBox::showFromStart);
}

void EntryComboBox::choose(int row)
{
    setCurrentIndex(row);
    setEditText(itemText(row));
    showFromStart();
}

void EntryComboBox::showFromStart()
{
    // All of it selected, so typing starts afresh, with the cursor at the
    // start: a long entry scrolled to its end would hide its number.
    const int length = static_cast<int>(currentText().size());
    lineEdit()->setSelection(length, -length);
}

void EntryComboBox::showPopup()
{
    completion_->hide(); // one popup at a time
    QComboBox::showPopup();

    // The drop-down opens as wide as the combo box; widen it to the entries,
    // as far as the screen allows, moving it left where it would run off.
    QWidget* dropDown = view()->window();
    const QScreen* screen = dropDown->screen();
    if (!screen || dropDown == window()) return;
    const QRect room = screen->availableGeometry();
    const int wanted = entryListWidth(*entries_, *view()) + dropDown->width() - view()->width();
    QRect frame = dropDown->geometry();
    if (wanted <= frame.width()) return;
    frame.setWidth(std::min(wanted, room.width()));
    if (frame.right() > room.right()) frame.moveRight(room.right());
    dropDown->setGeometry(frame);
}

} // namespace kestrix
