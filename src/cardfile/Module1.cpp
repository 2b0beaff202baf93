// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The operations the windows call, each a step or two over Module1's parts:
// those that change a file hold the change lock throughout.
#include "Module1.h"

#include "Module1Impl.h"
#include "card/CardLine.h"
#include "card/TextEncoding.h"
#include "files/FileStatus.h"
#include "history/ComputerIdentity.h"

namespace kestrix {

Module1::Module1(QString directory) : Module1(std::move(directory), defaultStateFolder()) {}

Module1::Module1(QString directory, QString stateFolder)
    : impl_(std::make_unique<Impl>(std::move(directory), std::move(stateFolder), RecordNumber))
{
    impl_->recording.prepare();
}

Module1::~Module1() = default;

const QString& Module1::directory() const
{
    return impl_->folder.directory;
}

FileStatus Module1::CloseAllFiles()
{
    return impl_->folder.closeAll();
}

FileStatus Module1::ScanCards(bool createIfMissing, const CardVisitor& visit, AfterScan after)
{
    return impl_->cards.scan(createIfMissing, visit, after);
}

FileStatus Module1::ReadAtStart()
{
    return impl_->cards.scan(
        true, [](const StoredCard&, const QString&) { return ScanStep::Next; }, AfterScan::CloseFiles);
}

FileStatus Module1::LargestRecordNumber(std::optional<double>& largest)
{
    return impl_->cards.largestRecordNumber(largest);
}

FileStatus Module1::CheckCardFileReplaceable()
{
    return impl_->cards.checkReplaceable();
}

Module1::ChangeGuard::ChangeGuard(Module1* module, const FileStatus& status)
    : module_(module), status_(std::make_unique<const FileStatus>(status))
{}

Module1::ChangeGuard::~ChangeGuard()
{
    if (module_) module_->impl_->locking.leave();
}

Module1::ChangeGuard Module1::lockForChange()
{
    ChangeLocking::Entered how{};
    if (FileStatus entered = impl_->locking.enter(lockPatience, how); !entered.ok())
        return ChangeGuard(nullptr, entered);
    if (how == ChangeLocking::Entered::Taken) {
        // Held from here: tidying the folders may itself change the card file.
        const FileStatus tidied = impl_->merge.tidy(impl_->locking.placed(), impl_->locking.withoutLock());
        if (!tidied.ok()) {
            impl_->locking.leave();
            return ChangeGuard(nullptr, tidied);
        }
    }
    return ChangeGuard(this, FileStatus::success());
}

std::vector<Module1::Notice> Module1::takeNotices()
{
    return impl_->notices.take();
}

FileStatus Module1::AppendCard(const CardRecord& card)
{
    if (firstFieldWithDoubleQuote(card).has_value())
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    // Held from the open to the close: the card file is copied and renamed
    // over, and a card another process stored in between would be lost.
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    return impl_->cards.append({QStringLiteral("Save"), card[indexOf(Field::CCNAME)]}, cardLine(card));
}

FileStatus Module1::RewriteWithoutContact(const QString& contact)
{
    const ItemMatcher matcher(contact);
    // Held from the first read to the rename, so no card another process
    // stores meanwhile is left out of the new file.
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    return impl_->cards.rewrite({QStringLiteral("Delete"), contact},
                                [&](const StoredCard& card) { return matcher.matches(card.raw(Field::CCNAME)); }, {});
}

FileStatus Module1::ReplaceCard(const CardRecord& card)
{
    if (firstFieldWithDoubleQuote(card).has_value())
        return FileStatus::failure(kCardFile, QStringLiteral("a double quote cannot be stored"));
    const ItemMatcher number(card[indexOf(Field::RecordNumber)]);
    const ItemMatcher contact(card[indexOf(Field::CCNAME)]);
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    return impl_->cards.rewrite(
        {QStringLiteral("Update"), card[indexOf(Field::CCNAME)]},
        [&](const StoredCard& stored) {
            return stored.itemCount() == kFieldCount && contact.matches(stored.raw(Field::CCNAME))
                && number.matches(stored.raw(Field::RecordNumber));
        },
        QByteArrayList{cardLine(card)});
}

FileStatus Module1::ReadCounter(bool* heldANumber)
{
    if (heldANumber) *heldANumber = false;
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    bool heldAnItem = false, plain = false;
    const FileStatus status = impl_->counter.read(heldAnItem, plain);
    if (heldANumber) *heldANumber = plain;
    return status;
}

FileStatus Module1::NextRecordNumber(QString& next)
{
    next.clear();
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    return impl_->counter.next(next);
}

FileStatus Module1::WriteCounter(const QString& number)
{
    const ChangeGuard change = lockForChange();
    if (!change.status().ok()) return change.status();
    return impl_->counter.write(number);
}

FileStatus Module1::MergeConflictCopies()
{
    bool found = false;
    if (FileStatus looked = impl_->merge.anyCopies(found); !looked.ok() || !found) return looked;
    const ChangeGuard change = lockForChange();
    FileStatus status = change.status();
    // A merged counter is left open for writing; nothing here needs it open.
    return status.orFirstFailure(CloseAllFiles());
}

} // namespace kestrix
