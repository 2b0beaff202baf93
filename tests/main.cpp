// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/Limits.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <sys/resource.h>

namespace {

// More than ten times the address space the largest test takes (350 MiB).
// A test that runs away fails on an allocation instead of taking the
// machine's memory. The sanitizers reserve terabytes of address space for
// themselves; their runs cap resident memory instead (hard_rss_limit_mb in
// CMakePresets.json).
constexpr qint64 kMemoryCapMiB = 4096;

// A test stopped by the cap fails on whichever allocation came last, as a
// bare std::bad_alloc; this says what it ran into.
// (Google Test holds its own lock here: the test is the one that started.)
class MemoryCapReport final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override { test_ = &test; }
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (!test_ || !result.failed() || !std::strstr(result.message(), "std::bad_alloc")) return;
        std::cout << test_->test_suite_name() << '.' << test_->name() << " ran into the memory cap of " << kMemoryCapMiB
                  << " MiB of address space (tests/main.cpp)" << std::endl;
    }
    const ::testing::TestInfo* test_ = nullptr;
};

void capMemory()
{
#if !defined(__SANITIZE_ADDRESS__)
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    const auto cap = static_cast<rlim_t>(kMemoryCapMiB) << 20;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= cap) return;
    limit.rlim_cur = cap;
    setrlimit(RLIMIT_AS, &limit);
    ::testing::UnitTest::GetInstance()->listeners().Append(new MemoryCapReport);
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    capMemory();
    kestrix::testing::enforceTimeLimit(argc, argv);
    // Test discovery runs this binary during the build, where there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
