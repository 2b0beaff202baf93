// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>

namespace kestrix::testing {

// Each test has a time limit of its own, set by kestrix_discover_tests; ctest
// passes it as --time-limit=SECONDS. A test run by hand has none. The limit
// is enforced here, a little before ctest's, so a test that hangs or runs
// away says which it was; waits for child processes end earlier still, so
// the test can say which child it was waiting for.

// Called first thing in main; takes --time-limit out of the arguments.
void enforceTimeLimit(int& argc, char** argv);

// Caps the test program's address space, so a test that runs away fails on
// an allocation instead of taking the machine's memory; called first thing
// in main too.
void capMemory();

// How long a wait for a child process may take: `longest`, but never into the
// time the test needs to report it within its limit.
int waitMs(std::chrono::milliseconds longest);

// Makes `child`, once started, die with this process: a test stopped at its
// limit, or crashed, leaves nothing running that holds its output open. Its
// memory is capped at 1 GiB, twelve times what any child takes, so several
// children running away at once cannot take the machine's memory either.
void limitChild(QProcess& child);

// Waits for `child` to end, as long as waitMs(longest) allows; a child still
// running then is killed, and the failure says how long it was given.
::testing::AssertionResult finishes(QProcess& child, std::chrono::milliseconds longest);

} // namespace kestrix::testing
