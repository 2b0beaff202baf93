// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards in and out: the editor's menu (Import cards…, Export cards…, Copy
// card; its sync is in Form4Sync.cpp, its undo and history in
// Form4History.cpp) and files of contacts dropped on the window. The card on
// screen is never changed by any of them.
#include "Form4.h"

#include "ExchangeMessages.h"
#include "cardfile/Module1.h"
#include "exchange/CardTransfer.h"
#include "exchange/ContactImport.h"
#include "formats/AddressBlock.h"
#include "formats/CardExchange.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>

namespace kestrix {

namespace {

const QStringList kImportFilters = {QStringLiteral("Contacts (*.vcf *.vcard *.csv)"),
                                    QStringLiteral("vCard (*.vcf *.vcard)"), QStringLiteral("CSV (*.csv)"),
                                    QStringLiteral("All files (*)")};

struct ExportChoice {
    QString filter;
    ExchangeFormat format;
    QString extension;
};
const std::vector<ExportChoice> kExportChoices = {
    {QStringLiteral("vCard 4.0 (*.vcf *.vcard)"), ExchangeFormat::VCard4, QStringLiteral(".vcf")},
    {QStringLiteral("vCard 3.0, for older phones (*.vcf)"), ExchangeFormat::VCard3, QStringLiteral(".vcf")},
    {QStringLiteral("CSV, for spreadsheets (*.csv)"), ExchangeFormat::Csv, QStringLiteral(".csv")},
};

// The files of contacts among what is dragged over the window: local files
// named as vCards or CSV.
QStringList contactFilesIn(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !formatFromFileName(url.fileName())) return {};
        files << url.toLocalFile();
    }
    return files;
}

} // namespace

void Form4::addCardMenuTo(QMenu& menu)
{
    QAction* importing = menu.addAction(QStringLiteral("Import cards…"), this, &Form4::ImportCards_Click);
    importing->setObjectName(QStringLiteral("ImportCards"));
    QAction* exporting = menu.addAction(QStringLiteral("Export cards…"), this, &Form4::ExportCards_Click);
    exporting->setObjectName(QStringLiteral("ExportCards"));
    QAction* syncing = menu.addAction(QStringLiteral("Sync with server…"), this, &Form4::SyncWithServer_Click);
    syncing->setObjectName(QStringLiteral("SyncWithServer"));
    QAction* syncNow = menu.addAction(QStringLiteral("Sync now"), this, &Form4::SyncNow_Click);
    syncNow->setObjectName(QStringLiteral("SyncNow"));
    QAction* copying = menu.addAction(QStringLiteral("Copy card"), this, &Form4::CopyCard_Click);
    copying->setObjectName(QStringLiteral("CopyCard"));
    menu.addSeparator();
    addHistoryMenuTo(menu);
}

void Form4::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("CardMenu"));
    addCardMenuTo(menu);
    menu.exec(event->globalPos());
}

// Shift+F10 opens the menu where the focus is, as the Menu key does (the
// display system sends that one as a menu request of its own).
void Form4::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_F10 || event->modifiers() != Qt::ShiftModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != this) focus = this;
    if (focus == memo_) focus = memo_->viewport();
    const QPoint at = focus->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, focus->mapToGlobal(at));
    QApplication::sendEvent(focus, &request);
}

// A text box open for typing has its own menu (cut, copy, paste); the
// window's entries follow below it.
void Form4::offerCardMenuInTextBoxes()
{
    for (QLineEdit* box : lineEdits_)
        if (box) box->installEventFilter(this); // the memo's place holds none
    memo_->viewport()->installEventFilter(this);
}

bool Form4::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ContextMenu) return QWidget::eventFilter(watched, event);
    const auto* request = static_cast<QContextMenuEvent*>(event);
    std::unique_ptr<QMenu> menu;
    if (auto* box = qobject_cast<QLineEdit*>(watched))
        menu.reset(box->createStandardContextMenu());
    else if (watched == memo_->viewport())
        menu.reset(memo_->createStandardContextMenu(request->pos()));
    if (!menu) return QWidget::eventFilter(watched, event);
    menu->setObjectName(QStringLiteral("CardMenu"));
    menu->addSeparator();
    addCardMenuTo(*menu);
    menu->exec(request->globalPos());
    return true;
}

void Form4::ImportCards_Click()
{
    const QString file = platform_.chooseFileToOpen(this, QStringLiteral("Import cards"), kImportFilters);
    if (!file.isEmpty()) Form_DragDrop({file});
}

void Form4::Form_DragDrop(const QStringList& files)
{
    QStringList reports;
    for (const QString& file : files) {
        const BusyCursor busy;
        const QString name = QFileInfo(file).fileName();
        // The window keeps painting while the cards come in, and the user may
        // stop: then nothing is stored.
        constexpr int kSteps = 1000;
        const std::unique_ptr<Platform::Progress> progress = platform_.showProgress(
            this, QStringLiteral("Importing the cards of %1…").arg(name), kSteps, ProgressStop::Offered);
        const ImportOutcome outcome =
            importContacts(module_, QFile::encodeName(file), std::nullopt, [&](qint64 done, qint64 total) {
                progress->reach(total > 0 ? static_cast<int>(std::min<qint64>(done, total) * kSteps / total) : 0);
                return !progress->stopped();
            });
        progress->reach(kSteps);
        reports << importReport(name, outcome);
    }
    // The new cards are in the search list the next time it fills.
    if (!reports.isEmpty()) platform_.showMessage(this, reports.join(QStringLiteral("\n\n")), MessageButtons::Ok);
    tellNotices();
}

void Form4::ExportCards_Click()
{
    QStringList filters;
    for (const ExportChoice& choice : kExportChoices) filters << choice.filter;
    QString filter;
    QString file =
        platform_.chooseFileToSave(this, QStringLiteral("Export cards"),
                                   QDir::home().filePath(QStringLiteral("kestrix-cards.vcf")), filters, filter);
    if (file.isEmpty()) return;
    const auto chosen = std::find_if(kExportChoices.begin(), kExportChoices.end(),
                                     [&](const ExportChoice& choice) { return choice.filter == filter; });
    const ExportChoice& choice = chosen == kExportChoices.end() ? kExportChoices.front() : *chosen;
    // The format chosen decides; a name without an ending gets the format's.
    if (!formatFromFileName(QFileInfo(file).fileName())) file += choice.extension;
    ExportOutcome outcome;
    {
        const BusyCursor busy;
        outcome = exportCardsToFile(module_, QFile::encodeName(file), choice.format);
    }
    platform_.showMessage(
        this, outcome.status.ok() ? exportedMessage(outcome.cards, file) : notExportedMessage(outcome.status),
        MessageButtons::Ok);
}

// Works on a locked card too, where only the memo lets text be selected.
void Form4::CopyCard_Click()
{
    const CardRecord shown = card();
    platform_.copyToClipboard(addressBlock(shown), writeCards({shown}, ExchangeFormat::VCard4));
}

void Form4::dragEnterEvent(QDragEnterEvent* event)
{
    if (!contactFilesIn(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form4::dropEvent(QDropEvent* event)
{
    const QStringList files = contactFilesIn(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // After the drop is over: the program the files came from is not kept
    // waiting while the cards come in.
    QTimer::singleShot(0, this, [this, files] { Form_DragDrop(files); });
}

} // namespace kestrix
