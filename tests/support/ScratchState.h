// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <sys/types.h>

namespace kestrix::testing {

// Points XDG_STATE_HOME at a folder of this test program's own, removed at
// its end, so no test makes an identity in the home folder of whoever runs
// it; the processes a test starts inherit it.
void keepStateInScratchFolder();
// The same for a part run as `user`, in a folder of its own under it.
void keepStateInScratchFolderOf(uid_t user);

} // namespace kestrix::testing
