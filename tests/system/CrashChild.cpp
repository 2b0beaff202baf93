// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Runs one storage operation the way the editor's buttons do, for the crash
// test to kill at a random moment:
//   kestrix_crash_child DIR append|replace|delete|counter|import|export|merge|sync
// Writes "r" to standard output as it starts, and "done <microseconds>" once
// finished.
#include "card/CardChanges.h"
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "exchange/CardTransfer.h"

#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace kestrix;

namespace {

const QString kContact = QStringLiteral("Contact 5000");

CardRecord editedCard(const QString& number)
{
    CardRecord card;
    for (int i = 0; i < kFieldCount; ++i) card[i] = QStringLiteral("edited %1").arg(i + 1);
    card[indexOf(Field::CCNAME)] = kContact;
    card[indexOf(Field::RecordNumber)] = number;
    return card;
}

// Save's scan for the card's number; true when it is on file.
bool scanFor(Module1& module, const QString& number)
{
    bool found = false;
    (void)module.ScanCards(false, [&](const StoredCard&, const QString& stored) {
        found = found || stored == number;
        return Module1::ScanStep::Next;
    });
    return found;
}

// A CardDAV sync's change of the card file, keyed from the cards as its
// scan read them: one deleted, one replaced, one added.
bool applySync(Module1& module)
{
    CardKeySet::TextKey scratch;
    CardChanges changes;
    (void)module.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        if (number == QStringLiteral("17"))
            changes.deletions.push_back({number, CardKeySet::keyOfText(card.record(number), scratch)});
        if (number == QStringLiteral("4000")) {
            CardRecord updated = card.record(number);
            updated[indexOf(Field::CITY)] = QStringLiteral("Leeds");
            changes.replacements.push_back({number, CardKeySet::keyOfText(card.record(number), scratch), updated});
        }
        return Module1::ScanStep::Next;
    });
    changes.additions.push_back(editedCard({}));
    CardChangesApplied applied;
    return changes.deletions.size() == 1 && changes.replacements.size() == 1
        && module.ApplyCardChanges(changes, applied, QStringLiteral("dav.example")).ok();
}

bool run(Module1& module, const char* operation)
{
    if (!std::strcmp(operation, "sync")) return applySync(module);
    if (!std::strcmp(operation, "append")) {
        scanFor(module, QStringLiteral("new"));
        return module.AppendCard(editedCard(QStringLiteral("new"))).ok();
    }
    if (!std::strcmp(operation, "replace")) {
        if (!scanFor(module, QStringLiteral("5000"))) return false;
        return module.ReplaceCard(editedCard(QStringLiteral("5000"))).ok();
    }
    if (!std::strcmp(operation, "delete")) return module.RewriteWithoutContact(kContact).ok();
    if (!std::strcmp(operation, "import")) {
        std::vector<CardRecord> cards;
        cards.reserve(50);
        for (int i = 0; i < 50; ++i) cards.push_back(editedCard({}));
        return module.AddCards(cards).ok();
    }
    if (!std::strcmp(operation, "export"))
        return exportCardsToFile(module, QFile::encodeName(module.directory()) + "/cards.vcf", ExchangeFormat::VCard4)
            .status.ok();
    if (!std::strcmp(operation, "merge")) return module.MergeConflictCopies().ok();
    if (!std::strcmp(operation, "counter")) {
        QString number;
        if (!module.NextRecordNumber(number).ok()) return false;
        const bool written = module.WriteCounter(number).ok();
        return module.CloseAllFiles().ok() && written;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR append|replace|delete|counter|import|export|merge|sync\n", argv[0]);
        return 2;
    }
    Module1 module(QString::fromLocal8Bit(argv[1]));
    const auto start = std::chrono::steady_clock::now();
    (void)::write(STDOUT_FILENO, "r", 1);
    if (!run(module, argv[2])) return 1;
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("done %lld\n", static_cast<long long>(micros));
    return 0;
}
