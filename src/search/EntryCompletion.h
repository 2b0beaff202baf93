// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QObject>

class QCompleter;
class QModelIndex;

namespace kestrix {

class CompletionModel;
class EntryComboBox;
class SearchListModel;

// While the user types in the combo box's text part, a popup lists the
// entries that hold the typed text anywhere, ignoring letter case, in list
// order. Choosing one there chooses it in the combo box; the typed text is
// never changed otherwise, so a near miss stays a near miss.
class EntryCompletion : public QObject {
    Q_OBJECT

public:
    EntryCompletion(EntryComboBox* combo, SearchListModel* entries);

    void hide();

private:
    void update(const QString& text);
    void choose(const QModelIndex& index);

    EntryComboBox* combo_;
    SearchListModel* entries_;
    CompletionModel* matches_;
    QCompleter* completer_;
};

} // namespace kestrix
