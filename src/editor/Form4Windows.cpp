// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The Search and About buttons: each loads its window once and shows it
// beside the editor, without making it modal.
#include "Form4.h"

#include "about/Form1.h"
#include "search/Form14.h"

namespace kestrix {

namespace {

void showAndActivate(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void Form4::Command5_Click()
{
    lockEditor();
    if (!search_) {
        search_ = new Form14(
            module_, platform_, [this](const CardRecord& card) { showCard(card); }, this);
    }
    showAndActivate(search_);
}

void Form4::Command6_Click()
{
    lockEditor();
    if (!about_) about_ = new Form1(platform_, this);
    showAndActivate(about_);
}

} // namespace kestrix
