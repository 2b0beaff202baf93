// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "storage/FileStatus.h"

#include <QString>

namespace kestrix {

// What the editor tells the user when a file step fails. Each names the file
// and the reason, and says what became of the user's work.
QString cardNotSavedMessage(const FileStatus& failure);
QString cardNotDeletedMessage(const FileStatus& failure);
QString doubleQuoteNotStoredMessage(const QString& fieldCaption);
QString counterNotWrittenMessage(const FileStatus& failure, const QString& number);
QString numberNotIssuedMessage(const FileStatus& failure);

} // namespace kestrix
