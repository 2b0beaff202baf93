// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Add, Edit and Exit buttons.
#include "Form4.h"

#include "EditorMessages.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"
#include "storage/Module1.h"
#include "storage/RecordNumberRule.h"

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
        // Without the last number issued, the next one could be one issued before.
        bool counterHeldANumber = false;
        if (status.ok()) status = module_.ReadCounter(&counterHeldANumber);
        const QString lastIssued = module_.RecordNumber;
        // A counter file lost, or left behind when the cards were moved, says
        // nothing; the last card's number is no guide either, since an update
        // moves its card to the end. No number a card holds is issued again.
        std::optional<double> largestStored;
        if (status.ok() && !counterHeldANumber) status = module_.LargestRecordNumber(largestStored);
        if (status.ok()) {
            clearDataFields();
            // A number too large to count on is left as it stands.
            if (const std::optional<QString> next = nextRecordNumber(lastIssued, largestStored))
                setFieldText(Field::RecordNumber, *next);
            unlockEditor();
            number = fieldText(Field::RecordNumber);
            status.orFirstFailure(module_.WriteCounter(number));
        }
    }
    // Told with the lock let go: the other window need not wait on the answer.
    if (number.isNull()) {
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
