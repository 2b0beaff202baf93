// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace kestrix {

class Platform;

// The about window: the program's notice, DONATE to open the maker's
// donation page in the browser, and BACK.
//
// The window deletes itself when it closes, so opening it again shows the
// notice afresh.
class Form1 : public QWidget {
    Q_OBJECT

public:
    static const QString kNotice;
    static const QString kDonateQuestion;

    Form1(Platform& platform, QWidget* parent = nullptr);

    void Command1_Click(); // DONATE
    void Command2_Click(); // BACK

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    void buildControls();

    Platform& platform_;
};

} // namespace kestrix
