// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "exchange/ContactImport.h"
#include "files/FileStatus.h"

#include <QString>

namespace kestrix {

// How bringing the contacts of `file` in went: it could not be read, it
// held no contacts, the user stopped it, storing the cards failed, or the
// cards came in (with the cards not taken whole named, and what is worth
// knowing about others).
QString importReport(const QString& file, const ImportOutcome& outcome);

QString exportedMessage(qsizetype cards, const QString& path);
QString notExportedMessage(const FileStatus& failure);

} // namespace kestrix
