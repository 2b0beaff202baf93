// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Add, Edit and Exit buttons.
#include "Form4.h"

#include "EditorMessages.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

#include <cerrno>

namespace kestrix {

// Add: clears the card and issues the number after the last one issued.
void Form4::Command4_Click()
{
    FileStatus status = FileStatus::success();
    QString number;
    {
        const BusyCursor busy;
        // Reading the counter and writing the next number are one change:
        // another window must not issue the same number in between.
        const Module1::ChangeGuard change = module_.lockForChange();
        status = change.status();
        // Refused where the next number could not be told from the last one:
        // two cards with one number, and an update of one deletes the other.
        if (status.ok()) status = module_.NextRecordNumber(number);
        if (status.ok()) {
            clearDataFields();
            setFieldText(Field::RecordNumber, number);
            unlockEditor();
            status.orFirstFailure(module_.WriteCounter(number));
        }
    }
    // Told with the lock let go: the other window need not wait on the answer.
    if (number.isEmpty()) {
        platform_.showMessage(this, numberNotIssuedMessage(status), MessageButtons::Ok);
        return;
    }
    if (!status.ok()) {
        // Promised only where a Save could get through: a full, read-only or
        // failing disk stops the card file as it stopped the counter.
        const int why = status.error();
        const bool wholeDisk = status.concernsFolder() || why == ENOSPC || why == EDQUOT || why == EROFS || why == EIO;
        const bool cardCanBeSaved = !wholeDisk && module_.CheckCardFileReplaceable().ok();
        platform_.showMessage(this, counterNotWrittenMessage(status, number, cardCanBeSaved), MessageButtons::Ok);
    }
    tellNotices();
    Text(1)->setFocus();
}

// Edit: the card shown may now be changed.
void Form4::Command7_Click()
{
    unlockEditor();
}

// Exit: closing the window ends the program (see closeEvent).
void Form4::Command3_Click()
{
    lockEditor();
    close();
}

} // namespace kestrix
