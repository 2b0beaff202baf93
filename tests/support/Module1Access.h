// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "cardfile/Module1.h"
#include "cardfile/Module1Impl.h"

namespace kestrix::testing {

// What a Module1's slots hold between operations: the files a handler leaves
// open, which no window may look at.
struct Module1Access {
    static FileSlot::Mode slot1(const Module1& module) { return module.impl_->folder.slot1.mode(); }
    static FileSlot::Mode slot2(const Module1& module) { return module.impl_->folder.slot2.mode(); }
};

} // namespace kestrix::testing
