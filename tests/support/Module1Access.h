// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "cardfile/Module1.h"

namespace kestrix::testing {

// What a Module1's slots hold between operations: the files a handler leaves
// open, which no window may look at. Told as a mode of its own, so a window
// test sees no more of the card file than the window does.
enum class SlotMode { Closed, Read, Write, Append };

struct Module1Access {
    static SlotMode slot1(const Module1& module);
    static SlotMode slot2(const Module1& module);
};

} // namespace kestrix::testing
