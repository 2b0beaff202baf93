// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EntryCompletion.h"

#include "EntryListWidth.h"
#include "OfferDelegate.h"
#include "searchindex/CompletionModel.h"
#include "searchindex/SearchListModel.h"

#include <QAbstractProxyModel>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace kestrix {

EntryCompletion::EntryCompletion(QComboBox* combo, SearchListModel* entries)
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
    // Where the toolkit would pass a click outside the popup on by itself,
    // this class does it instead, so it happens once on every platform.
    popup->setAttribute(Qt::WA_NoMouseReplay);
    completer_->setPopup(popup);
    // After setPopup, which gives the popup a delegate of the completer's.
    popup->setItemDelegate(new OfferDelegate(popup));
    // After the completer's own filter, so this one sees the events first.
    popup->installEventFilter(this);

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
    // As wide as the longest offers; the completer keeps it on the screen.
    const int width = std::max(combo_->width(), offerListWidth(*entries_, *completer_->popup()));
    completer_->complete(QRect(0, 0, width, combo_->height()));
    placeClearOfTheWindow();
}

void EntryCompletion::placeClearOfTheWindow()
{
    QWidget* popup = completer_->popup();
    const QScreen* screen = combo_->screen();
    if (!popup->isVisible() || !screen) return;
    const QRect room = screen->availableGeometry();
    const int boxTop = combo_->mapToGlobal(QPoint(0, 0)).y();
    const int windowBottom = combo_->window()->frameGeometry().bottom() + 1;
    const int roomAbove = boxTop - room.top();
    const int roomBelow = room.bottom() + 1 - windowBottom;
    QRect frame = popup->geometry();
    const int height = frame.height();
    if (height <= roomAbove || roomAbove >= roomBelow) {
        frame.setHeight(std::min(height, roomAbove));
        frame.moveBottom(boxTop - 1);
    } else {
        frame.setHeight(std::min(height, roomBelow));
        frame.moveTop(windowBottom);
    }
    popup->setGeometry(frame);
}

bool EntryCompletion::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* popup = completer_->popup();
    if (watched == popup && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const QPointF global = press->globalPosition();
        if (!popup->rect().contains(popup->mapFromGlobal(global).toPoint())) {
            hide();
            passClickOn(global, *press);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// The popup closes at a click outside it and keeps the click for itself; a
// click on the window's own controls is handed on as if the popup had not
// been open: SELECT runs on the text as typed.
void EntryCompletion::passClickOn(const QPointF& globalPosition, const QMouseEvent& press)
{
    QWidget* window = combo_->window();
    QWindow* handle = window->windowHandle();
    if (!handle || !window->rect().contains(window->mapFromGlobal(globalPosition).toPoint())) return;
    const QPointF local = handle->mapFromGlobal(globalPosition);
    // At once, not queued: the release may already be on its way.
    QMouseEvent replay(QEvent::MouseButtonPress, local, local, globalPosition, press.button(), press.buttons(),
                       press.modifiers(), press.pointingDevice());
    QCoreApplication::sendEvent(handle, &replay);
}

void EntryCompletion::choose(const QModelIndex& index)
{
    // The completer hands over a row of its own model, which wraps ours.
    const auto* listed = qobject_cast<const QAbstractProxyModel*>(completer_->completionModel());
    const QModelIndex row = matches_->mapToSource(listed ? listed->mapToSource(index) : index);
    if (row.isValid()) emit offerPicked(row.row());
}

} // namespace kestrix
