// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Form14.h"

#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"
#include "platform/PushButton.h"
#include "platform/Twips.h"
#include "platform/WindowPlacement.h"
#include "searchindex/SearchEntries.h"
#include "searchindex/SearchListModel.h"

#include <QApplication>
#include <QFocusEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace kestrix {

Form14::Form14(Module1& module, Platform& platform, CardLoader loadCard, QWidget* parent)
    : QWidget(parent), module_(module), platform_(platform), loadCard_(std::move(loadCard))
{
    buildControls();
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { noteFocusChange(now); });
    Form_Load();
}

// Tearing the window down moves the focus; by then this is no Form14 any more.
Form14::~Form14()
{
    disconnect(focusWatch_);
}

void Form14::buildControls()
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("NAME / COMPANY"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    // No icon: without one of its own, a window would show the editor's,
    // which owns it.
    setWindowIcon(QIcon());
    // Closing the window unloads it; the next Search loads it afresh.
    setAttribute(Qt::WA_DeleteOnClose);
    centerOnFirstShow(this);
    setFixedSize(twips(2490), twips(1485));

    // Created in tab order: the combo box first, so it takes the focus when
    // the window opens.
    entries_ = new SearchListModel(this);
    Combo1 = new EntryComboBox(entries_, this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(twipsRect(120, 600, 2175, 315));
    Combo1->setEditText(QStringLiteral("Combo1"));
    Combo1->installEventFilter(this);

    Command1 = addPushButton(this, "Command1", "SELECT", twipsRect(720, 1080, 975, 255));
    connect(Command1, &QPushButton::clicked, this, &Form14::Command1_Click);

    Label1 = new QLabel(QStringLiteral(" NAME"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setGeometry(twipsRect(480, 240, 1455, 255));
    // Screen readers announce the combo box by its label; the label takes
    // no keyboard accelerator.
    Label1->setBuddy(Combo1);
    Combo1->setAccessibleName(Label1->text().trimmed());

    setTabOrder(Combo1, Command1);
}

// Escape closes the window as its close button does. While the completion
// popup or the drop-down is open, Escape closes that instead.
void Form14::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form14::Form_Load()
{
    Combo1->clearEditText();
}

void Form14::Combo1_GotFocus()
{
    const BusyCursor busy;
    // The old list goes before the new one is read, so the two never take
    // memory at the same time.
    entries_->clear();
    Combo1->clearEditText();

    CompactEntries entries;
    const FileStatus scanned = module_.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        entries.append(number, card.raw(Field::CCNAME), card.raw(Field::CNAME));
        return Module1::ScanStep::Next;
    });
    // The card file is left open in slot 1; whoever needs it next closes it first.

    // Handed over whole: the combo box sees one reset, not one insertion per card.
    entries_->setEntries(std::move(entries));
    // A reset may make the first entry current; the text part stays empty.
    Combo1->setCurrentIndex(-1);
    Combo1->clearEditText();

    const FileStatus status = withoutMissingFile(scanned);
    if (status.ok()) {
        failureShown_.clear();
    } else if (status.describe() != failureShown_) {
        failureShown_ = status.describe();
        platform_.showMessage(this,
                              QStringLiteral("The list of cards could not be read.\n\nFile \"%1\": %2.")
                                  .arg(status.file(), status.reason()),
                              MessageButtons::Ok);
    }
}

// A missing card file simply holds no cards; any other failure counts.
FileStatus Form14::withoutMissingFile(const FileStatus& scanned)
{
    return scanned.isMissing() ? FileStatus::success() : scanned;
}

void Form14::Command1_Click()
{
    const QString wanted = Combo1->currentText();
    const BusyCursor busy;

    bool loaded = false;
    // Read to the end even after a match, so RecordNumber ends up holding the
    // last card's number as after every other scan; only the first match loads.
    const FileStatus scanned = module_.ScanCards(false, [&](const StoredCard& card, const QString& number) {
        if (loaded || !entryEquals(wanted, number, card.raw(Field::CCNAME))) return Module1::ScanStep::Next;
        loadCard_(card.record(number));
        loaded = true;
        close();
        return Module1::ScanStep::Next;
    });
    const FileStatus status = withoutMissingFile(scanned);
    if (!status.ok() && !loaded) {
        platform_.showMessage(
            this,
            QStringLiteral("The card could not be loaded.\n\nFile \"%1\": %2.").arg(status.file(), status.reason()),
            MessageButtons::Ok);
    }
}

bool Form14::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Combo1 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Closing the drop-down hands the focus back; the entry just picked
        // must survive until SELECT.
        const bool fromOwnList = reason == Qt::PopupFocusReason;
        // Returning from another program is no focus change within this one.
        const bool fromOtherProgram = reason == Qt::ActiveWindowFocusReason && !focusWasElsewhere_;
        focusWasElsewhere_ = false;
        if (!fromOwnList && !fromOtherProgram) Combo1_GotFocus();
    }
    return QWidget::eventFilter(watched, event);
}

void Form14::noteFocusChange(QWidget* now)
{
    if (!now) return;
    const QWidget* window = now->window();
    if (window != this && window->windowType() != Qt::Popup) focusWasElsewhere_ = true;
}

} // namespace kestrix
