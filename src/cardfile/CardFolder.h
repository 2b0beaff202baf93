// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "FileSlot.h"
#include "files/FileStatus.h"

#include <QString>

#include <utility>

namespace kestrix {

// What every part of the card file's work shares: the folder the files live
// in, the last record number read or issued (Module1::RecordNumber), and the
// two file slots: slot 1 for the card file, slot 2 for the scratch and
// counter files.
struct CardFolder {
    CardFolder(QString folder, QString& number) : directory(std::move(folder)), recordNumber(number) {}

    // Closes both slots, putting in place what was written to them.
    FileStatus closeAll()
    {
        FileStatus status = slot1.close();
        return status.orFirstFailure(slot2.close());
    }

    const QString directory;
    QString& recordNumber;
    FileSlot slot1;
    FileSlot slot2;
};

} // namespace kestrix
