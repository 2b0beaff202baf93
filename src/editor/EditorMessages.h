// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "cardfile/Module1.h"
#include "files/FileStatus.h"

#include <QString>

namespace kestrix {

// What the editor tells the user when a file step fails. Each names the file
// and the reason, and says what became of the user's work.
// Only a cause that can pass (another window busy, an interrupted call) comes
// with the advice to try again.
QString cardNotSavedMessage(const FileStatus& failure);
QString cardNotDeletedMessage(const FileStatus& failure);
QString doubleQuoteNotStoredMessage(const QString& fieldCaption);
// `cardCanBeSaved`: whether a Save of the card could still succeed.
QString counterNotWrittenMessage(const FileStatus& failure, const QString& number, bool cardCanBeSaved);
QString numberNotIssuedMessage(const FileStatus& failure);
QString cardFileNotReadMessage(const FileStatus& failure, const QString& folder);
QString copiesNotMergedMessage(const FileStatus& failure);

// "File "kest1.dat": reason." or, for a folder's failure, "Folder "...": reason."
QString fileAndReason(const FileStatus& failure);

// What a notice of the storage tells the user.
QString noticeMessage(const Module1::Notice& notice);

} // namespace kestrix
