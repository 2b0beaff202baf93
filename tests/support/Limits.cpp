// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/Limits.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace kestrix::testing {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point gStart = Clock::now();
std::optional<std::chrono::milliseconds> gLimit;

// The running test's name, for the watch to read without Google Test's
// lock, which the hanging test may hold.
char gRunning[400] = "(no test yet)";

class RunningTest final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        std::snprintf(gRunning, sizeof gRunning, "%s.%s", test.test_suite_name(), test.name());
    }
};

// More than ten times the address space the largest test takes (350 MiB).
// The sanitizers reserve terabytes of address space for themselves; their
// runs cap resident memory instead (hard_rss_limit_mb in CMakePresets.json).
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
                  << " MiB of address space (tests/support/Limits.cpp)" << std::endl;
    }
    const ::testing::TestInfo* test_ = nullptr;
};

} // namespace

void enforceTimeLimit(int& argc, char** argv)
{
    const QByteArray option = "--time-limit=";
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!argument.startsWith(option)) continue;
        if (const int seconds = argument.mid(option.size()).toInt(); seconds > 0)
            gLimit = std::chrono::seconds(seconds);
        std::copy(argv + i + 1, argv + argc + 1, argv + i);
        --argc;
        break;
    }
    if (!gLimit) return;
    ::testing::UnitTest::GetInstance()->listeners().Append(new RunningTest);
    std::thread([allowed = *gLimit] {
        std::this_thread::sleep_until(gStart + allowed * 9 / 10);
        char message[512];
        const int length = std::snprintf(
            message, sizeof message,
            "\n%s did not end within its time limit of %lld s (kestrix_discover_tests): stopped after %lld s\n",
            gRunning, static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(allowed).count()),
            static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(allowed * 9 / 10).count()));
        // Straight to the descriptor: the main thread may hang holding a stream's lock.
        if (length > 0) (void)!::write(STDERR_FILENO, message, static_cast<size_t>(std::min<int>(length, 511)));
        std::_Exit(1);
    }).detach();
}

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

int waitMs(std::chrono::milliseconds longest)
{
    if (!gLimit) return static_cast<int>(longest.count());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(gStart + *gLimit * 8 / 10 - Clock::now());
    return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), longest).count());
}

void limitChild(QProcess& child)
{
    child.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#if !defined(__SANITIZE_ADDRESS__) // (the sanitizers' runs cap resident memory instead)
        rlimit limit{};
        ::getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, rlim_t(1) << 30);
        ::setrlimit(RLIMIT_AS, &limit);
#endif
    });
}

::testing::AssertionResult finishes(QProcess& child, std::chrono::milliseconds longest)
{
    const int given = waitMs(longest);
    if (child.state() != QProcess::NotRunning && !child.waitForFinished(given)) {
        child.kill();
        child.waitForFinished(1000);
        return ::testing::AssertionFailure()
            << child.program().toStdString() << " was still running after " << given << " ms"
            << (given < longest.count() ? ", all that the test's time limit left" : "") << "; killed";
    }
    if (child.error() == QProcess::FailedToStart)
        return ::testing::AssertionFailure()
            << child.program().toStdString() << " did not start: " << child.errorString().toStdString();
    return ::testing::AssertionSuccess();
}

} // namespace kestrix::testing
