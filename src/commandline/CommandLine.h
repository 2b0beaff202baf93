// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "exchange/ExchangeFormat.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrix {

// What the command line asks for. Everything but opening the window runs
// without a display, so it works over SSH and in scripts.
struct CommandRequest {
    enum class Action { OpenWindow, ShowHelp, ShowVersion, Export, Import, MergeConflicts, Mistake };
    Action action = Action::OpenWindow;
    QString file;                         // Export, Import; "-" exports to standard output
    std::optional<ExchangeFormat> format; // --format
    QString text;                         // ShowHelp: the help; Mistake: what is wrong
};

// Reads the program's arguments (the first is the program). The options
// every Qt program takes for its window (-platform, -style and the like)
// are left for the window.
CommandRequest readCommandLine(const QStringList& arguments);

// Whether there is a display for the window, as far as the environment and
// the arguments tell; `why` says what is missing when there is none.
bool hasDisplay(const QStringList& arguments, QString& why);

} // namespace kestrix
