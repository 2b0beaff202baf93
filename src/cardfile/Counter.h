// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CardFile.h"
#include "CardFolder.h"
#include "ChangeLocking.h"

#include <QString>

namespace kestrix {

// The counter file and the numbers Add issues from it. Issuing a number is
// one change: the caller holds the change lock from the read to the write,
// or two processes could read the same number.
class Counter {
public:
    Counter(CardFolder& folder, CardFile& cards, const ChangeLocking& locking)
        : folder_(folder), cards_(cards), locking_(locking)
    {}

    // Reads the counter file into RecordNumber (last item wins), creating it
    // empty when it does not exist; tells apart a counter without an item
    // from one whose last item is not a plain whole number.
    FileStatus read(bool& heldAnItem, bool& heldANumber);
    // See Module1::NextRecordNumber.
    FileStatus next(QString& number);
    // Replaces the counter file's content with `number`, on the disk at
    // once; the file stays open in slot 2.
    FileStatus write(const QString& number);
    // The number issued after `number` within one change; a failure where
    // it would be written the same and so issued twice.
    static FileStatus following(QString& number);
    // Puts back the counter file as it was before a change that did not
    // land, so its numbers are issued again.
    void restore(const QByteArray& before);

private:
    CardFolder& folder_;
    CardFile& cards_;
    const ChangeLocking& locking_;
};

} // namespace kestrix
