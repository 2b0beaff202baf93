// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards brought in from elsewhere (an address book's export, a spreadsheet)
// are added as Add and Save would add them one by one, but as one change.
#include "Module1.h"

#include "Module1Impl.h"
#include "card/CardLine.h"
#include "files/PosixFile.h"

namespace kestrix {

namespace {

// The cards `next` gives, numbered from the counter on, written into `slot`
// opened at the first; `number` ends as the last number issued. On a
// failure `slot` is left to be discarded.
FileStatus streamCards(const Module1::CardSource& next, CardFolder& folder, CardFile& cards, Counter& counter,
                       FileSlot& slot, QString& number, qsizetype& added, const QString& from)
{
    using NextCard = Module1::NextCard;
    CardRecord card;
    for (;;) {
        const NextCard step = next(card);
        if (step == NextCard::Stop)
            return FileStatus::failure(names::kCardFile, QStringLiteral("the import was stopped before its end"));
        if (step == NextCard::End) return FileStatus::success();
        if (firstFieldWithDoubleQuote(card).has_value())
            return FileStatus::failure(names::kCardFile, QStringLiteral("a double quote cannot be stored"));
        if (added == 0) {
            // The first number as Add issues it; the file opened after, as
            // the numbering reads the cards.
            if (FileStatus issued = counter.next(number); !issued.ok()) return issued;
            (void)folder.closeAll();
            if (FileStatus opened = cards.beginAppending(slot, {QStringLiteral("Import"), from}); !opened.ok())
                return opened;
        } else if (FileStatus next = Counter::following(number); !next.ok()) {
            return next;
        }
        card[indexOf(Field::RecordNumber)] = number;
        if (FileStatus written = slot.write(cardLine(card)); !written.ok()) return written;
        ++added;
    }
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

FileStatus Module1::AddCards(const CardSource& next, qsizetype& added, const QString& from)
{
    added = 0;
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    QByteArray counterBefore;
    if (FileStatus read = posix::readWholeFile(directory(), kCounterFile, counterBefore); !read.ok()) return read;

    // The cards go to a slot of their own: the window stays responsive while
    // they come, and nothing another handler does may close it half written.
    FileSlot slot;
    QString number;
    FileStatus status = streamCards(next, impl_->folder, impl_->cards, impl_->counter, slot, number, added, from);
    if (!status.ok()) {
        slot.closeDiscarding();
        added = 0;
        return status;
    }
    if (added == 0) return FileStatus::success();
    // The counter first: a number it has passed is never issued again, even
    // if the cards cannot be stored after all. Should it be in place but not
    // safe on the disk, it goes back too.
    if (status = impl_->counter.write(number); !status.ok()) {
        impl_->counter.restore(counterBefore);
        slot.closeDiscarding();
        added = 0;
        return status;
    }
    status = impl_->cards.finishAppending(slot);
    // Once the cards are in the file, whatever failed after, the numbers
    // they carry stay issued.
    if (!status.ok() && !slot.replacedOnClose()) {
        impl_->counter.restore(counterBefore);
        added = 0;
    }
    return status;
}

} // namespace kestrix
