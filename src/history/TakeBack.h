// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecord.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace kestrix {

// Taking back a change from the file it left, a step at a time, for a file
// too large to hold: the stretches nothing changed are kept (copied from
// the file after the change), each stretch the change removed is put back
// where it stood, and each it added is checked to stand where the record
// says. A step that fails ends the walk.
struct TakeBackSteps {
    std::function<bool(qint64 from, qint64 length)> keep;
    std::function<bool(QByteArrayView bytes)> put;
    std::function<bool(qint64 at, QByteArrayView bytes)> stands;
};
// True once every step went through, over a file of `afterSize` bytes.
// False where the file does not hold the added stretches where the record
// says: something changed it since, and taking back must go card by card.
bool takeBack(qint64 afterSize, const ChangeRecord& change, const TakeBackSteps& steps);

// The same for a file in hand: the card file as it was before `change`,
// made from the bytes it held right after it; `before` empty on false.
bool takeBack(QByteArrayView after, const ChangeRecord& change, QByteArray& before);

} // namespace kestrix
