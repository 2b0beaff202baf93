// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ExchangeFormat.h"
#include "files/FileStatus.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kestrix {

class Module1;

// Moving cards between the card file and the files other programs read and
// write. Nothing here talks to the user: each step says how it went, and the
// command line or the editor's menu tells it.

struct ExportOutcome {
    FileStatus status = FileStatus::success();
    qsizetype cards = 0;
};

// Writes every card of the card file to `path` in `format`, whole or not at
// all: a copy beside it, without a name until it is renamed into place, so
// a kill leaves nothing behind. A path that is one of the card files, or
// leads to one, is refused (see refuseCardFiles), and so is a link there
// that another user made. Paths are bytes, as the file system has them.
ExportOutcome exportCardsToFile(Module1& module, const QByteArray& path, ExchangeFormat format);

// Success, or why `path` may not be written or read as a file of contacts:
// it is, or leads to, the card, counter or scratch file.
FileStatus refuseCardFiles(Module1& module, const QByteArray& path);

// The same, handed to `write` a stretch at a time (for standard output).
ExportOutcome exportCards(Module1& module, ExchangeFormat format,
                          const std::function<FileStatus(QByteArrayView)>& write);

// The format a file's name asks for, or else the one given; nothing when
// neither tells.
std::optional<ExchangeFormat> exportFormatFor(const QByteArray& path, std::optional<ExchangeFormat> given);

} // namespace kestrix
