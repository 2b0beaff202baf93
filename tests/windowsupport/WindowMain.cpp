// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The main of the window tests.
#include "support/Limits.h"
#include "support/ScratchState.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    kestrix::testing::capMemory();
    kestrix::testing::enforceTimeLimit(argc, argv);
    kestrix::testing::keepStateInScratchFolder();
    // Test discovery runs this program during the build, where there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
