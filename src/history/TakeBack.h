// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "ChangeRecord.h"

#include <QByteArray>
#include <QByteArrayView>

namespace kestrix {

// The card file as it was before `change`, made from the bytes it held
// right after it: each stretch the change added taken out, each it removed
// put back where it stood. False, with `before` empty, where `after` does
// not hold the added stretches where the record says: something changed
// the file since, and taking back must go card by card.
bool takeBack(QByteArrayView after, const ChangeRecord& change, QByteArray& before);

} // namespace kestrix
