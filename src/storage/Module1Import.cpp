// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards brought in from elsewhere (an address book's export, a spreadsheet)
// are added as Add and Save would add them one by one, but as one change.
#include "Module1.h"

#include "AtomicFile.h"
#include "CardLine.h"
#include "PosixFile.h"
#include "RecordNumberRule.h"
#include "SystemCalls.h"

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
    for (const CardRecord& card : cards)
        if (firstFieldWithDoubleQuote(card).has_value())
            return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    if (cards.empty()) return FileStatus::success();
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();

    QByteArray counterBefore;
    FileStatus status = readWhole(directory_, kCounterFile, counterBefore);
    bool counterHeldANumber = false;
    if (status.ok()) status = ReadCounter(&counterHeldANumber);
    std::optional<double> largestStored;
    const QString lastIssued = RecordNumber;
    if (status.ok() && !counterHeldANumber) status = LargestRecordNumber(largestStored);
    if (!status.ok()) return status;

    QString number = lastIssued;
    QByteArray lines;
    for (CardRecord& card : cards) {
        const std::optional<QString> next = nextRecordNumber(number, std::exchange(largestStored, std::nullopt));
        if (!next) return FileStatus::failure(kCounterFile, QStringLiteral("it holds a number too large to count on"));
        number = *next;
        card[indexOf(Field::RecordNumber)] = number;
        lines += cardLine(card);
    }
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
        return status;
    }
    status = appendLines(lines);
    // Once the cards are in the file, whatever failed after, the numbers
    // they carry stay issued.
    if (!status.ok() && !slot1_.replacedOnClose()) restoreCounter();
    return status;
}

} // namespace kestrix
