// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EditorMessages.h"

namespace kestrix {

namespace {

QString fileAndReason(const FileStatus& failure)
{
    return QStringLiteral("File \"%1\": %2.").arg(failure.file(), failure.reason());
}

} // namespace

QString cardNotSavedMessage(const FileStatus& failure)
{
    return QStringLiteral("The card was not saved.\n\n%1\n\nThe card is still in the window, so you can try again.")
        .arg(fileAndReason(failure));
}

QString cardNotDeletedMessage(const FileStatus& failure)
{
    return QStringLiteral("The card was not deleted.\n\n%1").arg(fileAndReason(failure));
}

QString doubleQuoteNotStoredMessage(const QString& fieldCaption)
{
    return QStringLiteral("The card was not saved: the field %1 holds a double quote (\"), and double quotes "
                          "cannot be stored.\n\nChange that field, then save again.")
        .arg(fieldCaption);
}

QString counterNotWrittenMessage(const FileStatus& failure, const QString& number)
{
    return QStringLiteral("The record counter could not be updated.\n\n%1\n\nThe number %2 may be issued again "
                          "by a later Add. This card can still be saved.")
        .arg(fileAndReason(failure), number);
}

QString numberNotIssuedMessage(const FileStatus& failure)
{
    return QStringLiteral("No new number was issued.\n\n%1\n\nThe card in the window is as it was; press Add again "
                          "in a moment.")
        .arg(fileAndReason(failure));
}

} // namespace kestrix
