// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArrayView>

namespace kestrix {

// Whether `entry` is the name a sync engine gives its copy of `fileName` when
// two computers changed the file while apart and it could not tell which
// change to keep. The engine keeps one version under the file's own name and
// puts the other beside it, named as one of these:
//   Syncthing        kest1.sync-conflict-20261207-105153-BRXC5PR.dat
//   Nextcloud,       kest1 (conflicted copy 2026-12-07 105153).dat
//   ownCloud 2.5 on
//   Dropbox          kest1 (laptop's conflicted copy 2026-12-07).dat
//   Seafile          kest1 (SFConflict ann@example.com 2026-12-07-10-51-53).dat
//   ownCloud before  kest1_conflict-20261207-105153.dat
bool isConflictCopyOf(QByteArrayView entry, QByteArrayView fileName);

} // namespace kestrix
