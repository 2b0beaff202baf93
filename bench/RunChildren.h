// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <vector>

namespace kestrix::bench {

// Measurements that need a process of their own: the peak memory of a scan
// and of opening the search window, and the start-up of the program to its
// window shown.

// When argv[i] asks for such a child, runs it and returns its exit code;
// otherwise returns -1.
int runChildMode(int argc, char** argv, int i);

// Runs the children against the data folder's card files and returns the
// results as table rows.
QString childMeasurements(const char* program, const QString& dataDir, const std::vector<int>& sizes);

} // namespace kestrix::bench
