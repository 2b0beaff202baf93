// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ImportReport.h"

namespace kestrix {

QString describeIssue(const ImportIssue& issue)
{
    if (issue.name.isEmpty()) return QStringLiteral("card %1: %2").arg(issue.card).arg(issue.reason);
    return QStringLiteral("card %1 (%2): %3").arg(issue.card).arg(issue.name, issue.reason);
}

} // namespace kestrix
