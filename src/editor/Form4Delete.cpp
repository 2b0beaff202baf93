// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Delete button: every card of the contact shown goes, without
// asking; the record number stays on screen.
#include "Form4.h"

#include "EditorMessages.h"
#include "cardfile/Module1.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

namespace kestrix {

void Form4::Command2_Click()
{
    const BusyCursor busy;
    const FileStatus status = module_.RewriteWithoutContact(fieldText(Field::CCNAME));
    if (!status.ok()) {
        // The fields stay, so the user still sees which card it was.
        platform_.showMessage(this, cardNotDeletedMessage(status), MessageButtons::Ok);
        return;
    }
    platform_.showMessage(this, QStringLiteral("record deleted"), MessageButtons::Ok);
    clearDataFields();
    tellNotices();
}

} // namespace kestrix
