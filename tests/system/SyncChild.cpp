// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Kestrix's storage on one computer of the sync engine test, which runs it on
// each side of a shared folder:
//   kestrix_sync_child DIR add CONTACT   issues a number as Add does, and
//                                        appends a card with it as Save does
//   kestrix_sync_child DIR merge         merges the conflict copies, as the
//                                        start does
//   kestrix_sync_child DIR list          one line per card: contact, tab, number
// Prints what the notices say, one line each; exits with 1 when an operation
// fails, its reason on standard error.
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"

#include <cstdio>
#include <cstring>
#include <optional>

using namespace kestrix;

namespace {

bool failed(const FileStatus& status)
{
    if (status.ok()) return false;
    std::fprintf(stderr, "%s\n", qPrintable(status.describe()));
    return true;
}

void printNotices(Module1& module)
{
    for (const Module1::Notice& notice : module.takeNotices()) {
        switch (notice.kind) {
        case Module1::Notice::Kind::Merged:
            std::printf("merged %lld cards from %s\n", static_cast<long long>(notice.count), qPrintable(notice.where));
            break;
        case Module1::Notice::Kind::MergeChanged:
        case Module1::Notice::Kind::MergeRemoved:
        case Module1::Notice::Kind::MergeBothChanged:
        case Module1::Notice::Kind::MergeKeptChanged:
        case Module1::Notice::Kind::MergeStayedDeleted:
            std::printf("merge kind %d: %s\n", static_cast<int>(notice.kind), qPrintable(notice.cards.join(u',')));
            break;
        case Module1::Notice::Kind::CounterMerged:
            std::printf("counter took %s\n", qPrintable(notice.where));
            break;
        case Module1::Notice::Kind::CopyNotMerged:
        case Module1::Notice::Kind::CopyNotRemoved:
            std::printf("not merged or not removed %s: %s\n", qPrintable(notice.where), qPrintable(notice.reason));
            break;
        case Module1::Notice::Kind::WithoutLock:
            std::printf("without lock in %s\n", qPrintable(notice.where));
            break;
        case Module1::Notice::Kind::OtherNames:
            std::printf("card file has %lld other names\n", static_cast<long long>(notice.count));
            break;
        }
    }
}

bool add(Module1& module, const QString& contact)
{
    QString number;
    {
        const Module1::ChangeGuard change = module.lockForChange();
        if (failed(change.status())) return false;
        if (failed(module.NextRecordNumber(number))) return false;
        if (failed(module.WriteCounter(number)) || failed(module.CloseAllFiles())) return false;
    }
    CardRecord card;
    card[indexOf(Field::CNAME)] = QStringLiteral("Company of %1").arg(contact);
    card[indexOf(Field::CCNAME)] = contact;
    card[indexOf(Field::RecordNumber)] = number;
    if (failed(module.AppendCard(card))) return false;
    std::printf("added %s %s\n", qPrintable(contact), qPrintable(number));
    return true;
}

bool list(Module1& module)
{
    const FileStatus scanned = module.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        std::printf("%s\t%s\n", qPrintable(card.text(Field::CCNAME)), qPrintable(number));
        return Module1::ScanStep::Next;
    });
    return !failed(scanned);
}

} // namespace

int main(int argc, char** argv)
{
    const bool adding = argc == 4 && !std::strcmp(argv[2], "add");
    if (!adding && !(argc == 3 && (!std::strcmp(argv[2], "merge") || !std::strcmp(argv[2], "list")))) {
        std::fprintf(stderr, "usage: %s DIR add CONTACT | merge | list\n", argv[0]);
        return 2;
    }
    Module1 module(QString::fromLocal8Bit(argv[1]));
    bool done = false;
    if (adding)
        done = add(module, QString::fromLocal8Bit(argv[3]));
    else if (!std::strcmp(argv[2], "merge"))
        done = !failed(module.MergeConflictCopies());
    else
        done = list(module);
    printNotices(module);
    return done ? 0 : 1;
}
