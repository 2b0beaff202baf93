// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "files/FileStatus.h"

#include <QByteArray>
#include <QString>

namespace kestrix {

// Which computer made a change. Each user's state folder holds one identity,
// made at the first run, so two users, or two home folders, are two
// computers, and a computer keeps its identity across renames of its host.
struct Computer {
    QByteArray id; // 32 lower-case hexadecimal digits, random
    QString label; // user@host, for a person to read
};

// Where identities are kept: $XDG_STATE_HOME/kestrix when that is an
// absolute path, else ~/.local/state/kestrix.
QString defaultStateFolder();

// This computer's identity, from `folder`, which is made (private to the
// user) with the identity when missing. A file that is not an identity is
// replaced by a new one; one that cannot be read is a failure, never
// replaced. Two first runs at the same moment may each keep their own.
FileStatus thisComputer(const QString& folder, Computer& computer);

} // namespace kestrix
