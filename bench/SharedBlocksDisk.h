// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

namespace kestrix::bench {

// A Btrfs image mounted through a loop device, for timing the handlers where
// a new file can share the old one's blocks. Mounting needs root and
// mkfs.btrfs; without them the disk stays unmounted and says why.
class SharedBlocksDisk {
public:
    // The image and its mount point go into `dataDir`.
    explicit SharedBlocksDisk(const QString& dataDir);
    ~SharedBlocksDisk();
    SharedBlocksDisk(const SharedBlocksDisk&) = delete;
    SharedBlocksDisk& operator=(const SharedBlocksDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString folder() const { return mountPoint_; }
    QString whyNotMounted() const { return whyNot_; }

private:
    bool run(const QString& program, const QStringList& arguments);

    QString image_;
    QString mountPoint_;
    QString whyNot_;
    bool mounted_ = false;
};

} // namespace kestrix::bench
