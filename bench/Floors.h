// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <cstdint>

namespace kestrix::bench {

// The least any scan of the file can cost: reading it and finding its line
// ends. Returns the number of line ends.
std::int64_t countLineEnds(const QString& path);

// The least any durable rewrite can cost: copying the file and flushing the
// copy to the disk.
bool copyFile(const QString& from, const QString& to);

} // namespace kestrix::bench
