// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncPass.h"

#include "carddav/ResourceWriting.h"
#include "cardfile/Module1.h"
#include "sync/SyncStateFile.h"

#include <QElapsedTimer>

namespace kestrix {

namespace {

using Step = SyncWork::ServerStep;

// Saving after every card would write the whole state ten thousand times
// on a first sync; a cut between saves costs only a pairing next time.
constexpr qint64 kSaveEveryMs = 1000;

// What one write did: landed (or its card was gone already), met a
// change, or failed.
enum class Landed { Yes, MetChange, Failed };

Landed write(SyncRun& run, const Step& step, std::map<QString, SyncedCard>& entries, DavStatus& failure)
{
    const QUrl href(step.href);
    if (step.kind == Step::Kind::Delete) {
        DavStatus status = deleteResource(run.client, href, step.ifMatch);
        if (status.ok() || status.problem == DavProblem::NotFound) {
            entries.erase(step.href);
            ++run.outcome.deletedThere;
            return Landed::Yes;
        }
        if (status.problem == DavProblem::PreconditionFailed) return Landed::MetChange;
        failure = std::move(status);
        return Landed::Failed;
    }
    WriteResult result = putVCard(run.client, href, step.vcard, step.ifMatch);
    if (result.status.ok()) {
        SyncedCard entry = step.entry;
        entry.etag = result.etag; // empty where the server gave none: the next listing tells it
        entries[step.href] = std::move(entry);
        ++run.outcome.toServer;
        if (step.kind == Step::Kind::PutNew) ++run.outcome.newToServer;
        return Landed::Yes;
    }
    if (result.status.problem == DavProblem::PreconditionFailed || result.status.problem == DavProblem::NotFound)
        return Landed::MetChange;
    failure = std::move(result.status);
    return Landed::Failed;
}

} // namespace

WritesDone writeToServer(SyncRun& run, const std::vector<Step>& steps, std::map<QString, SyncedCard>& entries)
{
    WritesDone done;
    done.status = DavStatus::success(0);
    QElapsedTimer sinceSave;
    sinceSave.start();
    const qsizetype total = qsizetype(steps.size());
    for (qsizetype i = 0; i < total; ++i) {
        run.tell(i, total, QStringLiteral("Sending cards to the server"));
        const Landed landed = write(run, steps[size_t(i)], entries, done.status);
        if (landed == Landed::MetChange) ++done.metChange;
        if (landed == Landed::Failed) break;
        if (sinceSave.elapsed() >= kSaveEveryMs) {
            setEntries(run.state, entries);
            done.saved = saveSyncState(run.module.directory(), run.stateName, run.state);
            if (!done.saved.ok()) return done;
            sinceSave.restart();
        }
    }
    setEntries(run.state, entries);
    done.saved = saveSyncState(run.module.directory(), run.stateName, run.state);
    return done;
}

} // namespace kestrix
