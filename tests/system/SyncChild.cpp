// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Kestrix's storage on one computer of the sync engine test, which runs it on
// each side of a shared folder:
//   kestrix_sync_child DIR add CONTACT   issues a number as Add does, and
//                                        appends a card with it as Save does
//   kestrix_sync_child DIR delete CONTACT  deletes the contact's cards, as
//                                        Delete does
//   kestrix_sync_child DIR update CONTACT CITY
//                                        gives the contact's card that city,
//                                        as Save's update does
//   kestrix_sync_child DIR merge         merges the conflict copies, as the
//                                        start does
//   kestrix_sync_child DIR list          one line per card: contact, tab,
//                                        number, tab, city
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
        case Module1::Notice::Kind::MergeSameNumber:
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

bool update(Module1& module, const QString& contact, const QString& city)
{
    std::optional<CardRecord> found;
    const FileStatus scanned = module.ScanCards(
        false,
        [&](const StoredCard& card, const QString& number) {
            if (card.text(Field::CCNAME) == contact) found = card.record(number);
            return Module1::ScanStep::Next;
        },
        Module1::AfterScan::CloseFiles);
    if (failed(scanned) || !found) return false;
    (*found)[indexOf(Field::CITY)] = city;
    return !failed(module.ReplaceCard(*found));
}

bool list(Module1& module)
{
    const FileStatus scanned = module.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        std::printf("%s\t%s\t%s\n", qPrintable(card.text(Field::CCNAME)), qPrintable(number),
                    qPrintable(card.text(Field::CITY)));
        return Module1::ScanStep::Next;
    });
    return !failed(scanned);
}

} // namespace

int main(int argc, char** argv)
{
    const auto is = [&](const char* command, int arguments) {
        return argc == 3 + arguments && !std::strcmp(argv[2], command);
    };
    if (!is("add", 1) && !is("delete", 1) && !is("update", 2) && !is("merge", 0) && !is("list", 0)) {
        std::fprintf(stderr, "usage: %s DIR add CONTACT | delete CONTACT | update CONTACT CITY | merge | list\n",
                     argv[0]);
        return 2;
    }
    Module1 module(QString::fromLocal8Bit(argv[1]));
    bool done = false;
    if (is("add", 1))
        done = add(module, QString::fromLocal8Bit(argv[3]));
    else if (is("delete", 1))
        done = !failed(module.RewriteWithoutContact(QString::fromLocal8Bit(argv[3])));
    else if (is("update", 2))
        done = update(module, QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    else if (!std::strcmp(argv[2], "merge"))
        done = !failed(module.MergeConflictCopies());
    else
        done = list(module);
    printNotices(module);
    return done ? 0 : 1;
}
