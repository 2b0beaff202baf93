// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <functional>

namespace kestrix::testing {

// Runs `body` in a child process as a user without root's powers: `nobody`
// when the tests run as root, since root may read and write whatever the
// modes say. `folder` is handed to that user first. Expectations that fail
// in the child fail the calling test; their messages come from the child.
void runUnprivileged(const QString& folder, const std::function<void()>& body);

} // namespace kestrix::testing
