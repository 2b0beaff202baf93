// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "contacts/ExchangeFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrix {

// What the command line asks for. Everything but opening the window runs
// without a display, so it works over SSH and in scripts.
struct CommandRequest {
    enum class Action {
        OpenWindow,
        ShowHelp,
        ShowVersion,
        Export,
        Import,
        MergeConflicts,
        Undo,
        UndoChange,
        History,
        Restore,
        KeepHistory,
        Sync,
        Mistake
    };
    Action action = Action::OpenWindow;
    QByteArray file;                      // Export, Import, as bytes; "-" exports to standard output
    std::optional<ExchangeFormat> format; // --format
    QString text; // ShowHelp: the help; Mistake: what is wrong; UndoChange, Restore: N; KeepHistory: the size
    // Sync: the account, each empty where not given; the password file as bytes.
    QString server, user, addressBook;
    QByteArray passwordFile;
    bool addIdentical = false;         // Import: --all, cards already there are added too
    bool standardOutputClosed = false; // set by the program: nothing can go out there
};

// Reads the program's arguments (the first is the program), as the system
// hands them over: a file's name is kept as its bytes, which need not be
// text. The options every Qt program takes for its window (-platform,
// -style and the like) are left for the window. An option given twice is a
// mistake: which of the two was meant cannot be told.
CommandRequest readCommandLine(const std::vector<QByteArray>& arguments);

// The arguments as text, for the window's own options.
QStringList argumentsAsText(const std::vector<QByteArray>& arguments);

// Whether there is a display for the window, as far as the environment and
// the arguments tell; `why` says what is missing when there is none.
bool hasDisplay(const QStringList& arguments, QString& why);

} // namespace kestrix
