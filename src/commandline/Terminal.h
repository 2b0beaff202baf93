// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <cstdio>

namespace kestrix {

class FileStatus;

// What the options that run without a window say, a line at a time: how it
// went on standard output, why not on standard error, after "kestrix: ".
void say(std::FILE* stream, const QString& text);
void complain(std::FILE* err, const QString& text);
// A failure as "file: reason".
QString why(const FileStatus& status);

} // namespace kestrix
