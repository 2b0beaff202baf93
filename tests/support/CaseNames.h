// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <string>
#include <string_view>

namespace kestrix::testing {

// The name of a table test's row, made from its description, for
// INSTANTIATE_TEST_SUITE_P: ctest lists the row as Suite.Test/its_name and
// --gtest_filter runs it alone. Letters and digits are kept; each run of
// anything else becomes one underscore.
inline std::string caseName(std::string_view description)
{
    std::string name;
    for (const char c : description) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    if (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

} // namespace kestrix::testing
