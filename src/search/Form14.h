// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "EntryComboBox.h"
#include "card/CardRecord.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace kestrix {

class FileStatus;
class Module1;
class Platform;
class SearchListModel;

// The search window: a drop-down list of every stored card as "number, two
// blanks, contact name", with a completion popup that finds entries by any
// part of them or of their card's company. SELECT hands the card whose entry equals the combo box's text
// to the editor and closes the window.
//
// The window deletes itself when it closes (SELECT, Escape, or its close
// button).
class Form14 : public QWidget {
    Q_OBJECT

public:
    // Receives the 14 fields of the chosen card, to be put into the editor.
    using CardLoader = std::function<void(const CardRecord&)>;

    // Creates the window and its controls and runs its load handler; the
    // window stays hidden until shown.
    Form14(Module1& module, Platform& platform, CardLoader loadCard, QWidget* parent = nullptr);
    ~Form14() override;

    // Refills the list from the card file and clears the text; runs each time
    // the combo box receives the focus from another control or window.
    void Combo1_GotFocus();
    void Command1_Click(); // SELECT

    QLabel* Label1 = nullptr;
    EntryComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void noteFocusChange(QWidget* now);
    static FileStatus withoutMissingFile(const FileStatus& scanned);

    Module1& module_;
    Platform& platform_;
    CardLoader loadCard_;
    SearchListModel* entries_ = nullptr;
    // Whether another window of the program has held the focus since the combo
    // box last received it; the window's opening counts as such.
    bool focusWasElsewhere_ = true;
    QMetaObject::Connection focusWatch_;
    // The failure the list fill last reported. The message box takes the focus
    // and hands it back, which refills the list: the same failure is told once.
    QString failureShown_;
};

} // namespace kestrix
