// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QComboBox>

namespace kestrix {

class EntryCompletion;
class SearchListModel;

// The search window's combo box: an editable text part over the list of
// entries, with a completion popup while the user types. The drop-down and
// the popup are as wide as the longest entries, and a chosen entry shows
// from its start, number first.
class EntryComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit EntryComboBox(SearchListModel* entries, QWidget* parent = nullptr);

    // Puts the entry of `row` into the text part, as choosing it from the
    // drop-down does.
    void choose(int row);

    void showPopup() override;

private:
    void showFromStart();

    SearchListModel* entries_;
    EntryCompletion* completion_;
};

} // namespace kestrix
