// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Counter.h"

#include "CardFileNames.h"
#include "card/CardLine.h"
#include "card/RecordNumberRule.h"
#include "card/TextEncoding.h"
#include "files/AtomicFile.h"

namespace kestrix {

using names::kCardFile;
using names::kCounterFile;

FileStatus Counter::read(bool& heldAnItem, bool& heldANumber)
{
    Q_ASSERT(locking_.held());
    heldAnItem = heldANumber = false;
    (void)folder_.slot2.close();
    FileStatus status = folder_.slot2.openForReading(folder_.directory, kCounterFile);
    if (status.isMissing()) {
        const FileStatus created = posix::createEmpty(folder_.directory, kCounterFile);
        status = folder_.slot2.openForReading(folder_.directory, kCounterFile);
        if (!created.ok()) return created;
    }
    ItemReader* reader = folder_.slot2.reader();
    if (!reader) return status;
    QByteArray item;
    while (!reader->atEnd()) {
        item.clear();
        if (!reader->readItem(item)) break;
        folder_.recordNumber = decodeItem(item);
        heldAnItem = true;
        // The last item counts; a hand edit may have left letters there.
        heldANumber = isPlainWholeNumber(folder_.recordNumber);
    }
    return reader->status();
}

FileStatus Counter::next(QString& number)
{
    Q_ASSERT(locking_.held());
    number.clear();
    // Without the last number issued, the next one could be one issued
    // before. A counter file lost, or left behind when the cards were moved,
    // says nothing; the last card's number is no guide either, since an
    // update moves its card to the end. No number a card holds is issued
    // again.
    bool counterHeldAnItem = false, counterHeldANumber = false;
    FileStatus status = read(counterHeldAnItem, counterHeldANumber);
    const QString lastIssued = folder_.recordNumber;
    std::optional<double> largestStored;
    if (status.ok() && !counterHeldANumber) status = cards_.largestRecordNumber(largestStored);
    if (!status.ok()) return status;
    if (const std::optional<QString> following = nextRecordNumber(lastIssued, largestStored)) {
        number = *following;
        return status;
    }
    // Named where the number stands: the counter, or a card.
    const std::optional<double> last = numberFromText(lastIssued);
    const bool cardsHoldIt = largestStored && last && *largestStored >= *last;
    const QString shown = cardsHoldIt ? textFromNumber(*largestStored) : lastIssued.trimmed();
    return FileStatus::failure(!cardsHoldIt && counterHeldAnItem ? kCounterFile : kCardFile,
                               QStringLiteral("it holds the number %1, too large to count on: the next number "
                                              "would be written the same and issued twice")
                                   .arg(shown));
}

FileStatus Counter::write(const QString& number)
{
    Q_ASSERT(locking_.held());
    if (number.contains(QLatin1Char('"')))
        return FileStatus::failure(kCounterFile, QStringLiteral("a double quote cannot be stored"));
    (void)folder_.slot2.close();
    FileStatus status =
        folder_.slot2.openForWriting(folder_.directory, kCounterFile, Durability::Durable, Links::Follow);
    status.orFirstFailure(folder_.slot2.write(counterLine(number)));
    // A number must never be issued twice, even after a crash: on the disk now.
    return status.orFirstFailure(folder_.slot2.commitNow());
}

FileStatus Counter::following(QString& number)
{
    if (const std::optional<QString> next = nextRecordNumber(number)) {
        number = *next;
        return FileStatus::success();
    }
    return FileStatus::failure(kCounterFile,
                               QStringLiteral("the number %1 is too large to count on: the next number "
                                              "would be written the same and issued twice")
                                   .arg(number));
}

void Counter::restore(const QByteArray& before)
{
    (void)folder_.closeAll();
    AtomicFile counter(folder_.directory, kCounterFile, Durability::Durable, Links::Follow);
    FileStatus restored = counter.open();
    restored.orFirstFailure(counter.write(before));
    restored.orFirstFailure(counter.close());
}

} // namespace kestrix
