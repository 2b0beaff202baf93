// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/TimeLimit.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// More than ten times the address space the largest test takes (350 MiB).
// A test that runs away fails on an allocation instead of taking the
// machine's memory. The sanitizers reserve terabytes of address space for
// themselves; their runs cap resident memory instead (hard_rss_limit_mb in
// CMakePresets.json).
constexpr rlim_t kMemoryCap = rlim_t(4) << 30;

#if defined(__SANITIZE_ADDRESS__)
void capMemory() {}
#else
void capMemory()
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= kMemoryCap) return;
    limit.rlim_cur = kMemoryCap;
    setrlimit(RLIMIT_AS, &limit);
    std::set_new_handler([] {
        static const char message[] = "\nAn allocation went past the test's memory cap of 4 GiB (tests/main.cpp)\n";
        (void)!::write(STDERR_FILENO, message, sizeof message - 1);
        std::set_new_handler(nullptr);
        throw std::bad_alloc();
    });
}
#endif

} // namespace

int main(int argc, char* argv[])
{
    kestrix::testing::enforceTimeLimit(argc, argv);
    capMemory();
    // Test discovery runs this binary during the build, where there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
