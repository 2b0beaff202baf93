// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <cstdio>

namespace kestrix {

class Module1;

// --undo, --history and --restore N: each says what it did on `out`, and
// why not on `err`; each returns the program's exit code.
int undoLastChange(Module1& module, std::FILE* out, std::FILE* err);
// --undo-change N
int undoChange(Module1& module, const QString& changeNumber, std::FILE* out, std::FILE* err);
int listHistory(Module1& module, std::FILE* out, std::FILE* err);
int restoreCards(Module1& module, const QString& changeNumber, std::FILE* out, std::FILE* err);
// --keep-history SIZE: "64M", "1G", "500K" or bytes.
int keepHistory(Module1& module, const QString& size, std::FILE* out, std::FILE* err);

} // namespace kestrix
