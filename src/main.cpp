// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "editor/Form4.h"
#include "platform/QtPlatform.h"
#include "storage/Module1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    // Lets the desktop find the menu entry, and with it the icon, for our windows.
    // No display name: Qt would append it to every window caption.
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTRIX_APP_ID));
    // The editor and the about window carry the program's icon; no icon is
    // set for the program as a whole, so the search window can show none.

    // The card files live in the working directory.
    kestrix::Module1 module(QStringLiteral("."));
    kestrix::QtPlatform platform;
    kestrix::Form4 editor(module, platform);
    editor.show();
    return QApplication::exec();
}
