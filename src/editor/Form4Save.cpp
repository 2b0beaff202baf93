// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Save button: a card whose number is already on file may
// replace the stored cards of its contact; any other card is added at the end.
#include "Form4.h"

#include "EditorMessages.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"
#include "storage/CardLine.h"
#include "storage/Module1.h"

namespace kestrix {

void Form4::Command1_Click()
{
    // Checked first: a quote would break the line it is stored in.
    if (const std::optional<Field> field = firstFieldWithDoubleQuote(card())) {
        platform_.showMessage(this, doubleQuoteNotStoredMessage(fieldCaption(*field)), MessageButtons::Ok);
        return;
    }

    const BusyCursor busy;
    (void)module_.CloseAllFiles();
    FileStatus opened = module_.OpenCardFileForReading(false);
    // Without reading the whole file there is no telling whether the number is
    // already stored, and adding it blindly could double a card.
    if (!opened.ok() && !opened.isMissing()) {
        platform_.showMessage(this, cardNotSavedMessage(opened), MessageButtons::Ok);
        return;
    }

    const QString number = fieldText(Field::RecordNumber);
    StoredCard stored;
    while (!module_.AtEndOfCards()) {
        if (!module_.ReadCard(stored)) break;
        if (stored.itemCount() != kFieldCount || module_.RecordNumber != number) continue;
        const MessageAnswer answer =
            platform_.showMessage(this, QStringLiteral("Do You wish to update?"), MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes) {
            reportSave(module_.RewriteWithoutContactThenAppend(fieldText(Field::CCNAME), card()));
            return;
        }
    }
    const FileStatus scanned = module_.cardReadStatus();
    if (!scanned.ok()) {
        (void)module_.CloseAllFiles();
        platform_.showMessage(this, cardNotSavedMessage(scanned), MessageButtons::Ok);
        return;
    }
    reportSave(module_.AppendCard(card()));
}

void Form4::reportSave(const FileStatus& status)
{
    if (!status.ok()) {
        platform_.showMessage(this, cardNotSavedMessage(status), MessageButtons::Ok);
        return;
    }
    platform_.showMessage(this, QStringLiteral("record saved"), MessageButtons::Ok);
    lockEditor();
}

} // namespace kestrix
