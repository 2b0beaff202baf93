// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardSync.h"
#include "SyncRefine.h"
#include "carddav/DavClient.h"
#include "sync/SyncState.h"

#include <QString>
#include <QUrl>

#include <map>

namespace kestrix {

// What one sync hands from pass to pass.
struct SyncRun {
    Module1& module;
    DavClient& client;
    QUrl addressBook;
    QString stateName;
    SyncState& state;
    SyncOutcome& outcome;
    const SyncProgressSink& progress;
    void tell(qsizetype done, qsizetype total, const QString& step) const
    {
        if (progress) progress(SyncProgress{done, total, step});
    }
};

// One pass: the server read, the cards fetched, the card file changed,
// the server written. Again: a write met a change made since the listing,
// and another pass should take it in.
enum class PassEnd { Done, Again, Stopped };
PassEnd runSyncPass(SyncRun& run);

// The state's entries by href, and back.
std::map<QString, SyncedCard> entriesOf(const SyncState& state);
void setEntries(SyncState& state, const std::map<QString, SyncedCard>& entries);

// The server's steps, each entered in `entries` as it lands, the state
// saved now and then: what a cut leaves undone, the next sync finds. A
// write that meets a change made meanwhile is left for the next pass.
struct WritesDone {
    DavStatus status; // the failure that stopped them
    FileStatus saved = FileStatus::success();
    qsizetype metChange = 0;
};
WritesDone writeToServer(SyncRun& run, const std::vector<SyncWork::ServerStep>& steps,
                         std::map<QString, SyncedCard>& entries);

} // namespace kestrix
