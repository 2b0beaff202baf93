// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

#include <functional>
#include <sys/types.h>
#include <vector>

namespace kestrix::testing {

// Runs `body` in a child process as a user without root's powers: `nobody`
// when the tests run as root, since root may read and write whatever the
// modes say, in the supplementary `groups` as well as its own. `folder` is
// handed to that user first. Expectations that fail in the child fail the
// calling test; their messages come from the child.
void runUnprivileged(const QString& folder, const std::function<void()>& body, const std::vector<gid_t>& groups = {});

} // namespace kestrix::testing
