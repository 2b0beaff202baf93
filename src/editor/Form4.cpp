// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Form4.h"

#include "EditorMessages.h"
#include "MemoText.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"
#include "platform/WindowPlacement.h"

#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

namespace kestrix {

Form4::Form4(Module1& module, Platform& platform, QWidget* parent)
    : QWidget(parent), module_(module), platform_(platform)
{
    buildControls();
    connectButtons();
    offerCardMenuInTextBoxes();
    // Files of contacts dropped on the window come in as new cards.
    setAcceptDrops(true);
    Form_Load();
}

QWidget* Form4::Text(int k) const
{
    const int i = k - 1;
    if (i == indexOf(Field::MEMO)) return memo_;
    return lineEdits_.at(i);
}

QString Form4::fieldText(Field field) const
{
    if (field == Field::MEMO) return memoText_->text();
    return lineEdits_[indexOf(field)]->text();
}

void Form4::setFieldText(Field field, const QString& text)
{
    if (field == Field::MEMO) {
        memoText_->set(text);
        return;
    }
    QLineEdit* box = lineEdits_[indexOf(field)];
    box->setText(text);
    // A field longer than its box shows from its start, not its end.
    box->setCursorPosition(0);
}

CardRecord Form4::card() const
{
    CardRecord card;
    for (Field field : kAllFields) card[indexOf(field)] = fieldText(field);
    return card;
}

void Form4::showCard(const CardRecord& card)
{
    for (Field field : kAllFields) setFieldText(field, card[indexOf(field)]);
}

QString Form4::fieldCaption(Field field) const
{
    return labels_[indexOf(field)]->text();
}

void Form4::clearDataFields()
{
    for (Field field : kAllFields)
        if (field != Field::RecordNumber) setFieldText(field, QString());
}

bool Form4::isLocked() const
{
    return memo_->isReadOnly();
}
void Form4::lockEditor()
{
    setLocked(true);
}
void Form4::unlockEditor()
{
    setLocked(false);
}

// A disabled memo would not scroll, and a phone's contact can bring many
// lines into it: so the memo is read-only instead, its text still to be
// selected and copied, by mouse or keys, while the other boxes are disabled.
void Form4::setLocked(bool locked)
{
    for (QLineEdit* box : lineEdits_)
        if (box) box->setEnabled(!locked);
    memo_->setReadOnly(locked);
    if (locked) memo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    applyMemoColours();
}

void Form4::connectButtons()
{
    connect(Command1, &QToolButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &Form4::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &Form4::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &Form4::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &Form4::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &Form4::Command6_Click);
    connect(Command7, &QToolButton::clicked, this, &Form4::Command7_Click);
}

void Form4::Form_Load()
{
    const BusyCursor busy;
    lockEditor();

    // Cards another computer stored while apart, in the copy a sync program
    // kept beside the card file, come in before the cards are first read.
    const FileStatus merged = module_.MergeConflictCopies();
    const FileStatus status = module_.ReadAtStart();

    clearDataFields();
    setFieldText(Field::RecordNumber, module_.RecordNumber.isEmpty() ? QStringLiteral("1") : module_.RecordNumber);

    // Fails while the panel is locked; the window then opens with the focus
    // on the first button.
    Text(2)->setFocus();

    if (!status.ok()) {
        platform_.showMessage(this, cardFileNotReadMessage(status, QDir(module_.directory()).absolutePath()),
                              MessageButtons::Ok);
    } else if (!merged.ok()) {
        platform_.showMessage(this, copiesNotMergedMessage(merged), MessageButtons::Ok);
    }
    // What the merge did is told over the window once it is on the screen,
    // not alone in a corner before it.
    noticesAtStart_ = true;
}

void Form4::tellNotices()
{
    for (const Module1::Notice& notice : module_.takeNotices())
        platform_.showMessage(this, noticeMessage(notice), MessageButtons::Ok);
}

void Form4::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && Frame3) applyPanelColours();
    QWidget::changeEvent(event);
}

void Form4::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        centerOnScreen(this);
    }
    QWidget::showEvent(event);
    if (noticesAtStart_) {
        noticesAtStart_ = false;
        QTimer::singleShot(0, this, &Form4::tellNotices);
    }
}

// Closing the window by its caption bar ends the program just as Exit does;
// the program's end closes the files.
void Form4::closeEvent(QCloseEvent* event)
{
    lockEditor();
    platform_.endProgram();
    event->accept();
}

} // namespace kestrix
