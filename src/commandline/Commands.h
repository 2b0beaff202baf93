// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CommandLine.h"

#include <cstdio>

namespace kestrix {

class Module1;

// The exit status of a command line's work: success only when everything
// went through whole.
enum ExitStatus : int { kSucceeded = 0, kFailed = 1, kMisused = 2 };

// Does what `request` asks for (anything but opening the window) on the card
// files `module` keeps, telling how it went on `out` and why anything did not
// go through on `err`.
int runCommand(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err);

} // namespace kestrix
