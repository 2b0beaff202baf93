// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Module1Access.h"

#include "cardfile/Module1Impl.h"

namespace kestrix::testing {

namespace {

SlotMode modeOf(const FileSlot& slot)
{
    switch (slot.mode()) {
    case FileSlot::Mode::Closed:
        return SlotMode::Closed;
    case FileSlot::Mode::Read:
        return SlotMode::Read;
    case FileSlot::Mode::Write:
        return SlotMode::Write;
    case FileSlot::Mode::Append:
        return SlotMode::Append;
    }
    return SlotMode::Closed;
}

} // namespace

SlotMode Module1Access::slot1(const Module1& module)
{
    return modeOf(module.impl_->folder.slot1);
}

SlotMode Module1Access::slot2(const Module1& module)
{
    return modeOf(module.impl_->folder.slot2);
}

} // namespace kestrix::testing
