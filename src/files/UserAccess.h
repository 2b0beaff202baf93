// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

namespace kestrix {

// What another user of this computer may do, as the file modes tell it. A
// folder's files may be planted by anyone who can write there; before Kestrix
// acts on one it asks whether its owner could have done the same themselves.

// Whether `user` is a member of `group`: its primary group or a supplementary one.
bool userInGroup(uid_t user, gid_t group);

// Whether `user` may write the file described by `info`, or make entries in
// the folder it describes (root may).
bool userMayWrite(uid_t user, const struct stat& info);

// Whether `user` may put a new file under its own name in `folder`, or
// remove one owned by `fileOwner`: the folder is writable to them and, where
// it has the sticky bit, they own the file or the folder.
bool userMayReplaceIn(uid_t user, const struct stat& folder, uid_t fileOwner);

// The login name of `user`, else its number.
QString userName(uid_t user);

} // namespace kestrix
