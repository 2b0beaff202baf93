// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The way back from a change: the menu's "Undo <what it was> (<n> cards)"
// and "History…". The card on screen stays as it is; the search list
// shows the cards as they are the next time it fills.
#include "Form4.h"

#include "EditorMessages.h"

#include "cardfile/ChangeWords.h"
#include "cardfile/Module1.h"
#include "changes/HistoryWindow.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

#include <QMenu>

namespace kestrix {

void Form4::addHistoryMenuTo(QMenu& menu)
{
    // Named for what it would take back, read as the menu opens.
    std::optional<Module1::Change> last;
    (void)module_.ChangeToUndo(last);
    QAction* undo =
        menu.addAction(last ? QStringLiteral("Undo %1").arg(whatChanged(*last)) : QStringLiteral("Undo a change"), this,
                       &Form4::UndoChange_Click);
    undo->setObjectName(QStringLiteral("UndoChange"));
    undo->setEnabled(last.has_value());
    QAction* history = menu.addAction(QStringLiteral("History…"), this, &Form4::History_Click);
    history->setObjectName(QStringLiteral("ShowHistory"));
}

void Form4::UndoChange_Click()
{
    Module1::Undone undone;
    FileStatus status = FileStatus::success();
    {
        const BusyCursor busy;
        status = module_.UndoLastChange(undone);
    }
    QString text = status.ok()
        ? QStringLiteral("Undid %1 from %2.").arg(whatChanged(undone.change), whenChanged(undone.change.when))
        : QStringLiteral("Nothing was undone.\n\n%1%2")
              .arg(fileAndReason(status), status.mayPass() ? QStringLiteral("\n\nTry again in a moment.") : QString());
    if (!undone.stayed.isEmpty())
        text += QStringLiteral("\n\n%1 changed since stay as they are: %2.")
                    .arg(cardCount(undone.stayed.size()), undone.stayed.join(QStringLiteral(", ")));
    platform_.showMessage(this, text, MessageButtons::Ok);
    if (history_) (void)history_->fillChanges(); // a failure is shown in its list
    tellNotices();
}

void Form4::History_Click()
{
    if (!history_) {
        history_ = new HistoryWindow(module_, platform_, this);
        history_->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        (void)history_->fillChanges();
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

} // namespace kestrix
