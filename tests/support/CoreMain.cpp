// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The main of the test programs without windows.
#include "support/Limits.h"
#include "support/ScratchState.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    kestrix::testing::capMemory();
    kestrix::testing::enforceTimeLimit(argc, argv);
    kestrix::testing::keepStateInScratchFolder();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
