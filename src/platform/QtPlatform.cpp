// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "QtPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace kestrix {

MessageAnswer QtPlatform::showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                                      const std::optional<QString>& title)
{
    QMessageBox box(owner);
    box.setIcon(QMessageBox::NoIcon);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title.value_or(kApplicationTitle));
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    // A handler busy with the card file may have set the wait cursor; the
    // user answers with the usual pointer, and the handler's cursor returns.
    int waitCursors = 0;
    for (; QGuiApplication::overrideCursor(); ++waitCursors) QGuiApplication::restoreOverrideCursor();
    const int pressed = box.exec();
    for (; waitCursors > 0; --waitCursors) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QString QtPlatform::openAddress(const QString& address, const QString& workingDirectory)
{
    // xdg-open hands the address to the desktop's default browser and lets us
    // choose the directory it starts in; the toolkit's own service cannot.
    if (QProcess::startDetached(QStringLiteral("xdg-open"), {address}, workingDirectory)) return {};
    if (QDesktopServices::openUrl(QUrl(address))) return {};
    return QStringLiteral("No web browser could be started to open %1.").arg(address);
}

QString QtPlatform::programDirectory() const
{
    return QCoreApplication::applicationDirPath();
}

void QtPlatform::endProgram()
{
    // Leaving the event loop ends main(), which closes every window and file.
    QCoreApplication::quit();
}

} // namespace kestrix
