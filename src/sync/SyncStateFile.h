// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "SyncState.h"
#include "files/FileStatus.h"

#include <QString>

namespace kestrix {

// Each computer keeps its own state, named `name`, beside the card file
// (Module1::SyncStateName): a state shared through a sync engine could
// arrive ahead of the cards it describes, and have cards deleted on the
// server that are only on their way here.

// The state of the last sync, from its file `name` in `directory`. A missing file
// is Missing, with an empty state: the caller must treat that as a first
// sync. A file that cannot be read, is not this user's or the folder
// owner's, stands behind a link, or is damaged fails, naming the reason:
// never read as empty, which would have the next sync take every card for
// a new one and double it.
FileStatus loadSyncState(const QString& directory, const QString& name, SyncState& state);

// Replaces the state file whole, so a crash or a full disk leaves the old
// one; a link in its place is replaced, never followed.
FileStatus saveSyncState(const QString& directory, const QString& name, const SyncState& state);

} // namespace kestrix
