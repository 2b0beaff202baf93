// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor's Save button: a card whose number is already on file may
// replace the stored cards of its contact; any other card is added at the end.
#include "Form4.h"

#include "EditorMessages.h"
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

namespace kestrix {

void Form4::Command1_Click()
{
    // Checked first: a quote would break the line it is stored in.
    if (const std::optional<Field> field = firstFieldWithDoubleQuote(card())) {
        platform_.showMessage(this, doubleQuoteNotStoredMessage(fieldCaption(*field)), MessageButtons::Ok);
        return;
    }

    const BusyCursor busy;
    const QString number = fieldText(Field::RecordNumber);
    bool update = false;
    // Both ways on, the store closes what it needs first; a failed scan
    // leaves no card file open behind the message.
    const FileStatus scanned = module_.ScanCards(
        false,
        [&](const StoredCard& stored, const QString& storedNumber) {
            if (stored.itemCount() != kFieldCount || storedNumber != number) return Module1::ScanStep::Next;
            update = platform_.showMessage(this, QStringLiteral("Do You wish to update?"), MessageButtons::YesNo)
                == MessageAnswer::Yes;
            return update ? Module1::ScanStep::Stop : Module1::ScanStep::Next;
        },
        Module1::AfterScan::CloseFiles);
    if (update) {
        reportSave(module_.ReplaceCard(card()));
        return;
    }
    // Without reading the whole file there is no telling whether the number is
    // already stored, and adding it blindly could double a card. A missing
    // file holds no cards.
    if (!scanned.ok() && !scanned.isMissing()) {
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
    tellNotices();
}

} // namespace kestrix
