// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "exchange/ImportReport.h"
#include "storage/FileStatus.h"

#include <QString>

namespace kestrix {

// How bringing the contacts of `file` in went: `read` failed, the file held
// no contacts, storing the cards failed, or `imported` cards came in (with
// the cards not taken whole named).
QString importReport(const QString& file, const FileStatus& read, const ImportResult& result, const FileStatus& stored,
                     qsizetype imported);

QString exportedMessage(qsizetype cards, const QString& path);
QString notExportedMessage(const FileStatus& failure);

} // namespace kestrix
