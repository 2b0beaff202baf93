// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "EditorMessages.h"

#include "cardfile/ChangeWords.h"

namespace kestrix {

namespace {

QString tryAgainIfItMayPass(const FileStatus& failure)
{
    return failure.mayPass() ? QStringLiteral(" Try again in a moment.") : QString();
}

} // namespace

QString fileAndReason(const FileStatus& failure)
{
    if (failure.concernsFolder()) return QStringLiteral("Folder \"%1\": %2.").arg(failure.file(), failure.reason());
    return QStringLiteral("File \"%1\": %2.").arg(failure.file(), failure.reason());
}

QString cardNotSavedMessage(const FileStatus& failure)
{
    return QStringLiteral("The card was not saved.\n\n%1\n\nThe card is still in the window.%2")
        .arg(fileAndReason(failure), tryAgainIfItMayPass(failure));
}

QString cardNotDeletedMessage(const FileStatus& failure)
{
    return QStringLiteral("The card was not deleted.\n\n%1%2")
        .arg(fileAndReason(failure), failure.mayPass() ? QStringLiteral("\n\nTry again in a moment.") : QString());
}

QString doubleQuoteNotStoredMessage(const QString& fieldCaption)
{
    return QStringLiteral("The card was not saved: the field %1 holds a double quote (\"), and double quotes "
                          "cannot be stored.\n\nChange that field, then save again.")
        .arg(fieldCaption);
}

QString counterNotWrittenMessage(const FileStatus& failure, const QString& number, bool cardCanBeSaved)
{
    return QStringLiteral("The record counter could not be updated.\n\n%1\n\nThe number %2 may be issued again "
                          "by a later Add.%3")
        .arg(fileAndReason(failure), number,
             cardCanBeSaved ? QStringLiteral(" This card can still be saved.") : QString());
}

QString numberNotIssuedMessage(const FileStatus& failure)
{
    return QStringLiteral("No new number was issued.\n\n%1\n\nThe card in the window is as it was.%2")
        .arg(fileAndReason(failure), tryAgainIfItMayPass(failure));
}

QString cardFileNotReadMessage(const FileStatus& failure, const QString& folder)
{
    if (failure.concernsFolder()) {
        return QStringLiteral("The card file \"kest1.dat\" could not be created.\n\n%1").arg(fileAndReason(failure));
    }
    return QStringLiteral("The card file \"%1\" could not be read: %2.\n\nFolder: %3")
        .arg(failure.file(), failure.reason(), folder);
}

QString copiesNotMergedMessage(const FileStatus& failure)
{
    return QStringLiteral("Another computer's copy of the card files could not be merged.\n\n%1\n\nThe copy was "
                          "left where it is, with every card in it.")
        .arg(fileAndReason(failure));
}

QString noticeMessage(const Module1::Notice& notice)
{
    switch (notice.kind) {
    case Module1::Notice::Kind::WithoutLock:
        return QStringLiteral("The folder \"%1\" is on a file system that cannot lock files. Kestrix works there "
                              "without its lock: if two Kestrix windows change these cards at the same moment, one "
                              "may undo the other's change.\n\nKeep one window open on these cards at a time.")
            .arg(notice.where);
    case Module1::Notice::Kind::OtherNames:
        return QStringLiteral("The card file \"%1\" has %2 other name(s) (hard links). Kestrix saves by putting a new "
                              "file in place under \"%1\" alone, so the other names still hold the cards as they "
                              "were before this change.\n\nTo keep the card file in two places, use a symbolic link "
                              "instead.")
            .arg(notice.where)
            .arg(notice.count);
    case Module1::Notice::Kind::Merged:
        return QStringLiteral("%1 card(s) from another computer's copy of the card file were added (%2). The sync "
                              "program had kept that copy beside the card file when both computers changed the "
                              "cards while apart; it has been removed now that its cards are in the card file.")
                   .arg(notice.count)
                   .arg(notice.where)
            + (notice.cards.isEmpty() ? QString() : QStringLiteral("\n\nAdded: %1.").arg(cardNames(notice.cards)));
    case Module1::Notice::Kind::MergeChanged:
        return QStringLiteral("%1 now as another computer changed them (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::MergeRemoved:
        return QStringLiteral("%1 deleted on another computer went from the card file too (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::MergeBothChanged:
        return QStringLiteral("%1 changed on both computers while apart. Both versions are kept: the other "
                              "computer's under a fresh number, with a line in its memo saying so (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::MergeKeptChanged:
        return QStringLiteral("%1 deleted on one computer and changed on the other stay in the card file (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::MergeStayedDeleted:
        return QStringLiteral("%1 of another computer's copy stay deleted, as they were deleted here (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::MergeSameNumber:
        return QStringLiteral("%1 from another computer hold a number that a different card here holds too: "
                              "both stay, each found by its contact (%2): %3.")
            .arg(cardCount(notice.count), notice.where, cardNames(notice.cards));
    case Module1::Notice::Kind::CounterMerged:
        return QStringLiteral("The record counter now stands at %1, the largest number another computer's copy of "
                              "it held, so no number issued there is issued again here.")
            .arg(notice.where);
    case Module1::Notice::Kind::CopyNotMerged:
        return copiesNotMergedMessage(notice.folderError ? FileStatus::folderFailure(notice.where, notice.folderError)
                                                         : FileStatus::failure(notice.where, notice.reason));
    case Module1::Notice::Kind::CopyNotRemoved:
        return QStringLiteral("The cards of another computer's copy \"%1\" are in the card file now, but the copy "
                              "could not be removed: %2.\n\nKestrix does not merge it again while it runs. Remove "
                              "it yourself: merged again later, it would bring back the cards deleted since.")
            .arg(notice.where, notice.reason);
    }
    return {};
}

} // namespace kestrix
