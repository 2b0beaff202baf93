// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Add, Edit and Exit buttons.
#include "Form4.h"

#include "EditorMessages.h"
#include "RecordNumberRule.h"
#include "platform/Platform.h"
#include "storage/Module1.h"

namespace kestrix {

// Add: clears the card and issues the number after the last one issued.
void Form4::Command4_Click()
{
    FileStatus status = module_.ReadCounter();
    clearDataFields();
    // A number too large to count on is left as it stands.
    if (const std::optional<QString> next = nextRecordNumber(module_.RecordNumber))
        setFieldText(Field::RecordNumber, *next);
    unlockEditor();

    const QString number = fieldText(Field::RecordNumber);
    status.orFirstFailure(module_.WriteCounter(number));
    if (!status.ok()) platform_.showMessage(this, counterNotWrittenMessage(status, number), MessageButtons::Ok);
    Text(1)->setFocus();
}

// Edit: the card shown may now be changed.
void Form4::Command7_Click() { unlockEditor(); }

// Exit: closing the window ends the program (see closeEvent).
void Form4::Command3_Click()
{
    lockEditor();
    close();
}

} // namespace kestrix
