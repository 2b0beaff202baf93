// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "cardfile/Module1.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrix {

class FileStatus;
class Platform;

// The history window: every change of the cards, newest first (when, on
// which computer, what, how many cards it gave and took), the cards of the
// change chosen, "Restore these cards" to bring back the cards it took, and
// "Undo this change" to take it back whole, an undo too.
class HistoryWindow : public QDialog {
    Q_OBJECT

public:
    HistoryWindow(Module1& module, Platform& platform, QWidget* parent = nullptr);

    // Reads the changes again, keeping the one chosen where it is still there;
    // a failure is shown in the list too.
    FileStatus fillChanges();
    void Restore_Click();
    void UndoThis_Click();

    QTreeWidget* Changes = nullptr;
    QTreeWidget* Cards = nullptr;
    QPushButton* Restore = nullptr;
    QPushButton* UndoThis = nullptr;
    QPushButton* Close = nullptr;

private:
    void buildControls();
    void showCardsOfChosen();
    const Module1::Change* chosen() const;

    Module1& module_;
    Platform& platform_;
    QLabel* cardsLabel_ = nullptr;
    std::vector<Module1::Change> changes_;
};

} // namespace kestrix
