// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "support/SystemCallFaults.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <optional>
#include <vector>

namespace kestrix::testing {

// The files of one folder: each name with its inode and content.
struct FolderFile {
    ino_t inode = 0;
    QByteArray content;
};
using Folder = std::map<QByteArray, FolderFile>;

// Reads the regular files of `path`.
Folder readFolder(const QByteArray& path);

// What `names` may hold after a power cut that struck when the first `count`
// of `steps` had been taken, starting from `start`, on a journaling file
// system:
// - writes and truncations not yet followed by an fsync of their file may be
//   missing, wholly or in part;
// - creations, renames and removals not yet followed by an fsync of the
//   folder may be undone, the latest first.
// To bound the combinations, only files that `names` lead to vary, each in
// three ways (none, half or all of its unsynced bytes kept), and the folder's
// entries in one way for each number of unsynced steps undone.
// A missing file is nothing.
std::vector<std::vector<std::optional<QByteArray>>>
powerCutStates(const Folder& start, const std::vector<DiskStep>& steps, size_t count, const QList<QByteArray>& names);

} // namespace kestrix::testing
