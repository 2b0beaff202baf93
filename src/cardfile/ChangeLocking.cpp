// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ChangeLocking.h"

#include "CardFileNames.h"
#include "files/PosixFile.h"

#include <QDir>
#include <QFile>

namespace kestrix {

FileStatus ChangeLocking::enter(std::chrono::milliseconds patience, Entered& how)
{
    how = Entered::AlreadyHeld;
    if (depth_ > 0) {
        ++depth_;
        return FileStatus::success();
    }
    // The folders the card and counter files really lie in: every window
    // that changes them locks the same ones, wherever it was started.
    std::vector<PlacedFile> files;
    std::vector<ChangeLock::Place> places;
    for (const QString& name : {names::kCardFile, names::kCounterFile}) {
        posix::FileLocation location;
        if (FileStatus found = posix::followLinks(folder_.directory, name, location); !found.ok()) return found;
        const QByteArray baseName = posix::baseNameOf(location.path);
        places.push_back(
            {location.folder, QLatin1Char('.') + QFile::decodeName(baseName) + QStringLiteral(".lock"), baseName});
        files.push_back({name, location.folder, baseName});
    }
    files.push_back(
        {names::kScratchFile, QFile::encodeName(folder_.directory), QFile::encodeName(names::kScratchFile)});
    ChangeLock lock = ChangeLock::take(places, patience);
    if (!lock.status().ok()) return lock.status();
    if (lock.withoutLock())
        notices_.addOnce({CardFileNotice::Kind::WithoutLock, QDir(folder_.directory).absolutePath(), 0, {}});
    lock_.emplace(std::move(lock));
    placed_ = std::move(files);
    depth_ = 1;
    how = Entered::Taken;
    return FileStatus::success();
}

void ChangeLocking::leave()
{
    Q_ASSERT(depth_ > 0);
    if (--depth_ == 0) lock_.reset();
}

} // namespace kestrix
