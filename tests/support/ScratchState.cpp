// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ScratchState.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace kestrix::testing {

void keepStateInScratchFolder()
{
    static QTemporaryDir state;
    // Open to the other users some tests run parts as; each makes its own.
    ::chmod(QFile::encodeName(state.path()).constData(), 01777);
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
}

void keepStateInScratchFolderOf(uid_t user)
{
    const QString own = qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/user-") + QString::number(user);
    qputenv("XDG_STATE_HOME", own.toLocal8Bit());
}

} // namespace kestrix::testing
