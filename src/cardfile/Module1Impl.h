// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFile.h"
#include "CardFolder.h"
#include "ChangeLocking.h"
#include "ConflictMerge.h"
#include "Counter.h"
#include "Module1.h"
#include "Notices.h"
#include "history/ChangeRecording.h"

namespace kestrix {

// Module1's parts, each with one job, over the folder and slots they share.
struct Module1::Impl {
    Impl(QString directory, QString stateFolder, QString& recordNumber)
        : folder(std::move(directory), recordNumber),
          locking(folder, notices),
          recording(folder.directory, std::move(stateFolder)),
          cards(folder, notices, locking, recording),
          counter(folder, cards, locking),
          merge(folder, cards, counter, notices, recording)
    {}

    CardFolder folder;
    Notices notices;
    ChangeLocking locking;
    ChangeRecording recording;
    CardFile cards;
    Counter counter;
    ConflictMerge merge;
};

} // namespace kestrix
