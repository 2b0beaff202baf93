// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "CommandLine.h"

#include <cstdio>

namespace kestrix {

class Module1;

// --sync: syncs the card file with the account's address book, says what
// came and went on `out`, and why not on `err`; returns the exit code.
int syncWithServer(const CommandRequest& request, Module1& module, std::FILE* out, std::FILE* err);

} // namespace kestrix
