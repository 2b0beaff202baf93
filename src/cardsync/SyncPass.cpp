// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncPass.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "sync/SyncStateFile.h"

#include <algorithm>

namespace kestrix {

namespace {

using LocalStep = SyncWork::LocalStep;

PassEnd serverStopped(SyncOutcome& outcome, DavStatus status)
{
    outcome.result = SyncOutcome::Result::ServerFailed;
    outcome.dav = std::move(status);
    return PassEnd::Stopped;
}

PassEnd fileStopped(SyncOutcome& outcome, FileStatus status)
{
    outcome.result = SyncOutcome::Result::FileFailed;
    outcome.file = std::move(status);
    return PassEnd::Stopped;
}

FileStatus readLocalCards(Module1& module, LocalCards& local)
{
    CardKeySet::TextKey scratch;
    const FileStatus scanned = module.ScanCards(
        true,
        [&](const StoredCard& card, const QString& number) {
            local.cards.push_back(card.record(number));
            local.keys.push_back(localCardOf(local.cards.back(), scratch));
            return Module1::ScanStep::Next;
        },
        Module1::AfterScan::CloseFiles);
    return scanned.isMissing() ? FileStatus::success() : scanned;
}

bool needsFetching(SyncAction::Kind kind)
{
    using Kind = SyncAction::Kind;
    return kind == Kind::Pull || kind == Kind::PullNew || kind == Kind::Conflict || kind == Kind::Push;
}

QString contactOf(const CardRecord& card)
{
    const QString& contact = card[indexOf(Field::CCNAME)];
    return contact.isEmpty() ? card[indexOf(Field::CNAME)] : contact;
}

// The entries the card file's change leaves: what no card matched (edited
// here meanwhile) stays as it was, for the next sync.
void enterLocalSteps(const SyncWork& work, const CardChangesApplied& applied, std::map<QString, SyncedCard>& entries,
                     SyncOutcome& outcome)
{
    const auto left = [](const std::vector<size_t>& indexes, size_t index) {
        return std::binary_search(indexes.begin(), indexes.end(), index);
    };
    for (const LocalStep& step : work.localSteps) {
        switch (step.kind) {
        case LocalStep::Kind::Delete:
            if (left(applied.deletionsLeft, step.index)) break;
            entries.erase(step.entry.href);
            ++outcome.deletedHere;
            break;
        case LocalStep::Kind::Replace:
            if (left(applied.replacementsLeft, step.index)) break;
            entries[step.entry.href] = step.entry;
            ++outcome.fromServer;
            break;
        case LocalStep::Kind::Add: {
            SyncedCard entry = step.entry;
            entry.number = applied.numbers.value(qsizetype(step.index));
            entries[entry.href] = entry;
            ++outcome.fromServer;
            ++outcome.newFromServer;
            if (!step.keptFrom.isEmpty())
                outcome.keptTwice << QStringLiteral("%1 (%2 and %3)")
                                         .arg(contactOf(work.changes.additions[step.index]), step.keptFrom,
                                              entry.number);
            break;
        }
        }
    }
}

FetchedVCards fetchNeeded(const SyncRun& run, const std::vector<SyncAction>& actions)
{
    QList<QString> wanted;
    for (const SyncAction& action : actions)
        if (needsFetching(action.kind)) wanted << action.href;
    run.tell(0, wanted.size(), QStringLiteral("Fetching cards from the server"));
    return fetchVCards(run.client, run.addressBook, wanted, [&](qsizetype done) {
        run.tell(done, wanted.size(), QStringLiteral("Fetching cards from the server"));
    });
}

bool isIdle(const SyncWork& work)
{
    return work.changes.deletions.empty() && work.changes.replacements.empty() && work.changes.additions.empty()
        && work.serverSteps.empty() && work.agreed.empty() && work.forgotten.empty() && work.leftForNext == 0
        && work.unreadable == 0;
}

} // namespace

std::map<QString, SyncedCard> entriesOf(const SyncState& state)
{
    std::map<QString, SyncedCard> entries;
    for (const SyncedCard& card : state.cards) entries[card.href] = card;
    return entries;
}

void setEntries(SyncState& state, const std::map<QString, SyncedCard>& entries)
{
    state.cards.clear();
    state.cards.reserve(entries.size());
    for (const auto& [href, card] : entries) state.cards.push_back(card);
}

PassEnd runSyncPass(SyncRun& run)
{
    SyncOutcome& outcome = run.outcome;
    run.tell(0, 0, QStringLiteral("Reading the address book"));
    ServerView view = readServer(run.client, run.addressBook, run.state.syncToken);
    if (!view.status.ok()) return serverStopped(outcome, std::move(view.status));
    LocalCards local;
    if (FileStatus read = readLocalCards(run.module, local); !read.ok()) return fileStopped(outcome, std::move(read));
    // A report of changes stands for the listing it leaves.
    const ServerListing listing = view.whole ? std::move(view.listing) : listingAfter(run.state, view.changes);
    const std::vector<SyncAction> actions = planSync(run.state, local.keys, listing);

    FetchedVCards fetched = fetchNeeded(run, actions);
    if (!fetched.status.ok()) return serverStopped(outcome, std::move(fetched.status));

    std::map<QString, SyncedCard> entries = entriesOf(run.state);
    std::set<QString> taken;
    for (const auto& [href, entry] : entries) taken.insert(href);
    for (const auto& [href, etag] : listing) taken.insert(href);
    const SyncWork work = refineSync(actions, entries, local, fetched.found, run.addressBook, taken);

    // Nothing to do, as most syncs: only a new token to keep, if any.
    if (isIdle(work)) {
        if (view.syncToken == run.state.syncToken) return PassEnd::Done;
        run.state.syncToken = view.syncToken;
        FileStatus saved = saveSyncState(run.module.directory(), run.stateName, run.state);
        return saved.ok() ? PassEnd::Done : fileStopped(outcome, std::move(saved));
    }
    // The card file first, as one change: should it fail, neither side has changed.
    run.tell(0, 0, QStringLiteral("Saving the cards here"));
    CardChangesApplied applied;
    if (!work.changes.deletions.empty() || !work.changes.replacements.empty() || !work.changes.additions.empty()) {
        FileStatus status = run.module.ApplyCardChanges(work.changes, applied, run.addressBook.host());
        if (!status.ok()) return fileStopped(outcome, std::move(status));
    }
    for (const QString& href : work.forgotten) entries.erase(href);
    for (const auto& [href, entry] : work.agreed) entries[href] = entry;
    enterLocalSteps(work, applied, entries, outcome);
    // Until the pass is through, the next sync compares everything.
    run.state.syncToken.clear();
    setEntries(run.state, entries);
    if (FileStatus saved = saveSyncState(run.module.directory(), run.stateName, run.state); !saved.ok())
        return fileStopped(outcome, std::move(saved));

    const WritesDone writes = writeToServer(run, work.serverSteps, entries);
    if (!writes.saved.ok()) return fileStopped(outcome, writes.saved);
    if (!writes.status.ok()) return serverStopped(outcome, writes.status);
    outcome.unreadable = work.unreadable;
    outcome.leftForNext =
        work.leftForNext + qsizetype(applied.deletionsLeft.size() + applied.replacementsLeft.size()) + writes.metChange;
    if (writes.metChange > 0) return PassEnd::Again;
    if (outcome.leftForNext == 0 && outcome.unreadable == 0) {
        run.state.syncToken = view.syncToken;
        if (FileStatus saved = saveSyncState(run.module.directory(), run.stateName, run.state); !saved.ok())
            return fileStopped(outcome, std::move(saved));
    }
    return PassEnd::Done;
}

} // namespace kestrix
