// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "QtPlatform.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QStyle>
#include <QUrl>

namespace kestrix {

namespace {

// The window manager draws the title bar, beside an icon and up to three
// buttons, and cuts a title with no room: a short message ("record saved")
// would show "Kestrix" as "…". Its font and sizes are its own; the toolkit's
// bold font and title bar height stand in for them.
void leaveRoomForTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int button = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 4 * button;
    // The box sizes itself to its layout; an empty item as wide as the title
    // bar needs, beside the buttons, widens it.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const int at = grid ? grid->indexOf(box.findChild<QDialogButtonBox*>()) : -1;
    if (at < 0) return;
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(at, &row, &column, &rows, &columns);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed), row, column, rows, columns);
}

// The message box every message and notice shows.
MessageAnswer showBox(QWidget* owner, QMessageBox::Icon icon, const QString& text, MessageButtons buttons,
                      const QString& title)
{
    QMessageBox box(owner);
    box.setIcon(icon);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(title);
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    leaveRoomForTitle(box);
    // A handler busy with the card file may have set the wait cursor; the
    // user answers with the usual pointer, and the handler's cursor returns.
    int waitCursors = 0;
    for (; QGuiApplication::overrideCursor(); ++waitCursors) QGuiApplication::restoreOverrideCursor();
    const int pressed = box.exec();
    for (; waitCursors > 0; --waitCursors) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

} // namespace

MessageAnswer QtPlatform::showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                                      const std::optional<QString>& title)
{
    return showBox(owner, QMessageBox::NoIcon, text, buttons, title.value_or(kApplicationTitle));
}

void QtPlatform::showNotice(QWidget* owner, const QString& text, MessageIcon icon)
{
    (void)showBox(owner, icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information, text,
                  MessageButtons::Ok, kApplicationTitle);
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

QString QtPlatform::chooseFileToOpen(QWidget* owner, const QString& caption, const QStringList& filters)
{
    return QFileDialog::getOpenFileName(owner, caption, QDir::homePath(), filters.join(QStringLiteral(";;")));
}

QString QtPlatform::chooseFileToSave(QWidget* owner, const QString& caption, const QString& suggested,
                                     const QStringList& filters, QString& chosenFilter)
{
    chosenFilter = filters.value(0);
    return QFileDialog::getSaveFileName(owner, caption, suggested, filters.join(QStringLiteral(";;")), &chosenFilter);
}

void QtPlatform::copyToClipboard(const QString& text, const QByteArray& vCard)
{
    auto* data = new QMimeData;
    data->setText(text);
    // The name RFC 6350 registers, and the one older programs look for.
    data->setData(QStringLiteral("text/vcard"), vCard);
    data->setData(QStringLiteral("text/x-vcard"), vCard);
    QGuiApplication::clipboard()->setMimeData(data);
}

namespace {

class ProgressDialog final : public Platform::Progress {
public:
    ProgressDialog(QWidget* owner, const QString& text, int steps, ProgressStop stop)
        : dialog_(text, QString(), 0, steps, owner)
    {
        dialog_.setWindowTitle(Platform::kApplicationTitle);
        // Every window waits: the search window too reads what is changing.
        dialog_.setWindowModality(Qt::ApplicationModal);
        if (stop == ProgressStop::Offered)
            dialog_.setCancelButtonText(QStringLiteral("Stop"));
        else
            dialog_.setCancelButton(nullptr);
        // About half a second of work before the bar is worth showing.
        dialog_.setMinimumDuration(500);
        dialog_.setValue(0);
        sinceEvents_.start();
    }
    void reach(int step) override
    {
        // The work runs here, on the window's thread: the window manager's
        // messages are answered as it goes (one left waiting while the dialog
        // first shows can stall both). Input waits until the dialog shows;
        // from then on it keeps every other window from taking input, and
        // takes a Stop, even within one long step.
        if (sinceEvents_.elapsed() >= 50) {
            QCoreApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents
                                                                : QEventLoop::ExcludeUserInputEvents);
            sinceEvents_.restart();
        }
        dialog_.setValue(step);
    }
    void tell(const QString& text) override { dialog_.setLabelText(text); }
    bool stopped() const override { return dialog_.wasCanceled(); }

private:
    QProgressDialog dialog_;
    QElapsedTimer sinceEvents_;
};

} // namespace

std::unique_ptr<Platform::Progress> QtPlatform::showProgress(QWidget* owner, const QString& text, int steps,
                                                             ProgressStop stop)
{
    return std::make_unique<ProgressDialog>(owner, text, steps, stop);
}

} // namespace kestrix
