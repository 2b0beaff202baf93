// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards brought in from elsewhere (an address book's export, a spreadsheet)
// are added as Add and Save would add them one by one, but as one change.
#include "Module1.h"

#include "CardLine.h"
#include "card/RecordNumberRule.h"
#include "files/AtomicFile.h"
#include "files/PosixFile.h"
#include "files/SystemCalls.h"

#include <cerrno>

namespace kestrix {

namespace {

// The bytes of `name`, to put back as they were; nothing for a missing file.
FileStatus readWhole(const QString& directory, const QString& name, QByteArray& bytes)
{
    bytes.clear();
    int fd = -1;
    FileStatus status = posix::openForReading(directory, name, fd);
    if (!status.ok()) return status.isMissing() ? FileStatus::success() : status;
    char buffer[4096];
    for (;;) {
        const ssize_t got = sys::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) status = FileStatus::fromErrno(name, errno);
        if (got <= 0) break;
        bytes.append(buffer, got);
    }
    return status.orFirstFailure(posix::closeFile(fd, name));
}

} // namespace

FileStatus Module1::AddCards(std::vector<CardRecord>& cards)
{
    qsizetype added = 0;
    size_t at = 0;
    return AddCards(
        [&](CardRecord& card) {
            if (at > 0) cards[at - 1] = card; // with its number
            if (at == cards.size()) return NextCard::End;
            card = cards[at++];
            return NextCard::Card;
        },
        added);
}

FileStatus Module1::AddCards(const CardSource& next, qsizetype& added)
{
    added = 0;
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    QByteArray counterBefore;
    FileStatus status = readWhole(directory_, kCounterFile, counterBefore);
    if (!status.ok()) return status;

    // The cards go to a slot of their own: the window stays responsive while
    // they come, and nothing another handler does may close it half written.
    FileSlot slot;
    const auto giveUp = [&](const FileStatus& why) {
        slot.closeDiscarding();
        added = 0;
        return why;
    };
    QString number;
    CardRecord card;
    for (;;) {
        const NextCard step = next(card);
        if (step == NextCard::Stop)
            return giveUp(FileStatus::failure(kCardFile, QStringLiteral("the import was stopped before its end")));
        if (step == NextCard::End) break;
        if (firstFieldWithDoubleQuote(card).has_value())
            return giveUp(FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored")));
        if (added == 0) {
            // The first number as Add issues it; the file opened after, as
            // the numbering reads the cards.
            if (status = NextRecordNumber(number); !status.ok()) return giveUp(status);
            (void)CloseAllFiles();
            if (status = beginAppending(slot); !status.ok()) return giveUp(status);
        } else if (const std::optional<QString> following = nextRecordNumber(number)) {
            number = *following;
        } else {
            return giveUp(
                FileStatus::failure(kCounterFile,
                                    QStringLiteral("the number %1 is too large to count on: the next number would be "
                                                   "written the same and issued twice")
                                        .arg(number)));
        }
        card[indexOf(Field::RecordNumber)] = number;
        if (status = slot.write(cardLine(card)); !status.ok()) return giveUp(status);
        ++added;
    }
    if (added == 0) return FileStatus::success();

    // The counter goes back to what it was where the cards are not stored.
    const auto restoreCounter = [&] {
        (void)CloseAllFiles();
        AtomicFile counter(directory_, kCounterFile, Durability::Durable, Links::Follow);
        FileStatus restored = counter.open();
        restored.orFirstFailure(counter.write(counterBefore));
        restored.orFirstFailure(counter.close());
    };
    // The counter first: a number it has passed is never issued again, even
    // if the cards cannot be stored after all. Should it be in place but not
    // safe on the disk, it goes back too.
    if (status = WriteCounter(number); !status.ok()) {
        restoreCounter();
        return giveUp(status);
    }
    status = finishAppending(slot);
    // Once the cards are in the file, whatever failed after, the numbers
    // they carry stay issued.
    if (!status.ok() && !slot.replacedOnClose()) {
        restoreCounter();
        added = 0;
    }
    return status;
}

} // namespace kestrix
