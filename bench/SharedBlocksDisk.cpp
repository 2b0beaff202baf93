// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SharedBlocksDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace kestrix::bench {

namespace {

// Room for the largest card file, its scratch copy and the new card file,
// with space for the deleted copies the file system frees only at its next
// commit. The image is sparse, so it takes only what is written.
constexpr qint64 kImageBytes = 4LL * 1024 * 1024 * 1024;

} // namespace

SharedBlocksDisk::SharedBlocksDisk(const QString& dataDir)
    : image_(dataDir + QStringLiteral("/btrfs.img")), mountPoint_(dataDir + QStringLiteral("/btrfs"))
{
    if (::geteuid() != 0) {
        whyNot_ = QStringLiteral("mounting a loop device needs root");
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("mkfs.btrfs")).isEmpty()) {
        whyNot_ = QStringLiteral("mkfs.btrfs is not installed (Debian package btrfs-progs)");
        return;
    }
    // A run that was killed may have left its disk mounted.
    QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-q"), mountPoint_});
    QFile::remove(image_);
    QFile image(image_);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(kImageBytes)) {
        whyNot_ = QStringLiteral("cannot make the image %1: %2").arg(image_, image.errorString());
        return;
    }
    image.close();
    QDir().mkpath(mountPoint_);
    mounted_ = run(QStringLiteral("mkfs.btrfs"), {QStringLiteral("-q"), QStringLiteral("-f"), image_})
        && run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image_, mountPoint_});
    if (!mounted_) QFile::remove(image_);
}

SharedBlocksDisk::~SharedBlocksDisk()
{
    if (!mounted_) return;
    run(QStringLiteral("umount"), {mountPoint_});
    QDir().rmdir(mountPoint_);
    QFile::remove(image_);
}

bool SharedBlocksDisk::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    whyNot_ = QStringLiteral("%1 failed: %2")
                  .arg(program, QString::fromLocal8Bit(process.readAll()).trimmed().section(QLatin1Char('\n'), -1));
    if (whyNot_.endsWith(QStringLiteral(": "))) whyNot_ += process.errorString();
    return false;
}

} // namespace kestrix::bench
