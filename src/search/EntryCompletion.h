// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QObject>

class QComboBox;
class QCompleter;
class QModelIndex;
class QMouseEvent;
class QPointF;

namespace kestrix {

class CompletionModel;
class SearchListModel;

// While the user types in the combo box's text part, a popup offers the
// entries whose entry or company holds the typed text anywhere, ignoring
// letter case and accents, those where a word starts with it first
// (CompletionModel), each with its company. Choosing one there says which
// entry by offerPicked, and the box that owns this chooses it; the typed text
// is never changed otherwise, so a near miss stays a near miss.
//
// The popup opens above the box, or below the window where the screen has no
// room above, so it never covers the window's own controls: a click meant for
// SELECT must not pick an entry. A click on the window while the popup is open
// closes the popup and then acts where it landed.
class EntryCompletion : public QObject {
    Q_OBJECT

public:
    EntryCompletion(QComboBox* combo, SearchListModel* entries);

    void hide();

signals:
    // The user picked the offer of this row of the entries.
    void offerPicked(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update(const QString& text);
    void choose(const QModelIndex& index);
    void placeClearOfTheWindow();
    void passClickOn(const QPointF& globalPosition, const QMouseEvent& press);

    QComboBox* combo_;
    SearchListModel* entries_;
    CompletionModel* matches_;
    QCompleter* completer_;
};

} // namespace kestrix
