// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "cardfile/Module1.h"
#include "commandline/CommandLine.h"
#include "commandline/Commands.h"
#include "editor/Form4.h"
#include "files/FileStatus.h"
#include "platform/QtPlatform.h"

#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// A standard stream closed by whoever started the program would have its
// number given to the next file opened, and what the program writes to the
// stream would land in that file: each is held open on /dev/null instead.
// Returns whether standard output was closed.
bool holdStandardStreamsOpen()
{
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        if (fd == 1) outputClosed = true;
        // The lowest free number, so this one.
        if (::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) std::_Exit(kestrix::kFailed);
    }
    return outputClosed;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool outputClosed = holdStandardStreamsOpen();
    std::vector<QByteArray> rawArguments;
    rawArguments.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) rawArguments.emplace_back(argv[i]);
    const QStringList arguments = kestrix::argumentsAsText(rawArguments);
    kestrix::CommandRequest request = kestrix::readCommandLine(rawArguments);
    request.standardOutputClosed = outputClosed;
    // The card files live in the working directory.
    kestrix::Module1 module(QStringLiteral("."));

    if (request.action != kestrix::CommandRequest::Action::OpenWindow) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Kestrix"));
        QCoreApplication::setApplicationVersion(QStringLiteral(KESTRIX_VERSION));
        return kestrix::runCommand(request, module, stdout, stderr);
    }
    QString noDisplay;
    if (!kestrix::hasDisplay(arguments, noDisplay)) {
        std::fprintf(stderr,
                     "kestrix: %s.\nkestrix: start it on a desktop, or give it a virtual display (xvfb-run kestrix);\n"
                     "kestrix: without a window, kestrix --export FILE and kestrix --import FILE move cards out and "
                     "in (kestrix --help).\n",
                     noDisplay.toLocal8Bit().constData());
        return kestrix::kFailed;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrix"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRIX_VERSION));
    // Lets the desktop find the menu entry, and with it the icon, for our windows.
    // No display name: Qt would append it to every window caption.
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTRIX_APP_ID));
    // The editor and the about window carry the program's icon; no icon is
    // set for the program as a whole, so the search window can show none.

    kestrix::QtPlatform platform;
    kestrix::Form4 editor(module, platform);
    editor.show();
    const int code = QApplication::exec();
    // Exit and the window's close box end the event loop; the files close
    // here. Every change was on the disk before it was reported, so a failure
    // now loses nothing, but it is still told, where the terminal can show it.
    if (const kestrix::FileStatus closed = module.CloseAllFiles(); !closed.ok()) {
        std::fprintf(stderr, "kestrix: %s\n", qPrintable(closed.describe()));
        return code == 0 ? 1 : code;
    }
    return code;
}
