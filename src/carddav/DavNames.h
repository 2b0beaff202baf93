// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QLatin1String>

namespace kestrix::davnames {

// The XML namespaces of the protocol; elements are matched by namespace,
// never by the prefix a server chose.
inline constexpr QLatin1String dav{"DAV:"};
inline constexpr QLatin1String carddav{"urn:ietf:params:xml:ns:carddav"};
inline constexpr QLatin1String calendarServer{"http://calendarserver.org/ns/"};

} // namespace kestrix::davnames
