// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "HistoryWindow.h"

#include "cardfile/ChangeWords.h"
#include "files/FileStatus.h"
#include "platform/BusyCursor.h"
#include "platform/Platform.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrix {

namespace {

QTreeWidget* newList(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setAccessibleName(name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(headers);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

// A failure as the other messages name one: File "kest1.dat": reason.
QString failureText(const FileStatus& failure)
{
    return QStringLiteral("%1 \"%2\": %3.")
        .arg(failure.concernsFolder() ? QStringLiteral("Folder") : QStringLiteral("File"), failure.file(),
             failure.reason());
}

void addCards(QTreeWidget* list, const std::vector<CardRecord>& cards, const QString& how)
{
    for (const CardRecord& card : cards)
        new QTreeWidgetItem(list,
                            {how, card[indexOf(Field::RecordNumber)], card[indexOf(Field::CCNAME)],
                             card[indexOf(Field::CNAME)], card[indexOf(Field::CITY)]});
}

} // namespace

HistoryWindow::HistoryWindow(Module1& module, Platform& platform, QWidget* parent)
    : QDialog(parent), module_(module), platform_(platform)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History of the cards"));
    buildControls();
    (void)fillChanges(); // a failure is shown in the list
}

void HistoryWindow::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* changesLabel = new QLabel(QStringLiteral("&Changes, newest first:"), this);
    Changes = newList(this, QStringLiteral("Changes"),
                      {QStringLiteral("When"), QStringLiteral("Computer"), QStringLiteral("Change"),
                       QStringLiteral("Gave"), QStringLiteral("Took")});
    changesLabel->setBuddy(Changes);
    cardsLabel_ = new QLabel(QStringLiteral("Ca&rds of this change:"), this);
    Cards = newList(this, QStringLiteral("Cards"),
                    {QString(), QStringLiteral("Number"), QStringLiteral("Contact"), QStringLiteral("Company"),
                     QStringLiteral("City")});
    cardsLabel_->setBuddy(Cards);
    auto* buttons = new QDialogButtonBox(this);
    Restore = buttons->addButton(QStringLiteral("Re&store these cards"), QDialogButtonBox::ActionRole);
    Restore->setObjectName(QStringLiteral("Restore"));
    Restore->setAutoDefault(false);
    UndoThis = buttons->addButton(QStringLiteral("&Undo this change"), QDialogButtonBox::ActionRole);
    UndoThis->setObjectName(QStringLiteral("UndoThis"));
    UndoThis->setAutoDefault(false);
    Close = buttons->addButton(QDialogButtonBox::Close);
    Close->setObjectName(QStringLiteral("Close"));
    layout->addWidget(changesLabel);
    layout->addWidget(Changes, 3);
    layout->addWidget(cardsLabel_);
    layout->addWidget(Cards, 2);
    layout->addWidget(buttons);
    connect(Changes, &QTreeWidget::currentItemChanged, this, [this] { showCardsOfChosen(); });
    connect(Restore, &QPushButton::clicked, this, &HistoryWindow::Restore_Click);
    connect(UndoThis, &QPushButton::clicked, this, &HistoryWindow::UndoThis_Click);
    connect(Close, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 480);
}

FileStatus HistoryWindow::fillChanges()
{
    const QByteArray wasChosen = chosen() ? chosen()->id : QByteArray();
    const FileStatus status = module_.ChangeHistory(changes_);
    Changes->clear();
    QTreeWidgetItem* current = nullptr;
    for (const Module1::Change& change : changes_) {
        auto* item = new QTreeWidgetItem(
            Changes,
            {change.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), change.computer,
             whatChanged(change) + (change.takenBack ? QStringLiteral(", undone") : QString()),
             QString::number(change.added.size()), QString::number(change.removed.size())});
        if (!current || change.id == wasChosen) current = item;
    }
    if (!status.ok())
        new QTreeWidgetItem(
            Changes,
            {QString(), QString(),
             QStringLiteral("The history could not be read: %1: %2").arg(status.file(), status.reason())});
    else if (changes_.empty())
        new QTreeWidgetItem(Changes, {QString(), QString(), QStringLiteral("No change of these cards is on record.")});
    Changes->setCurrentItem(current ? current : Changes->topLevelItem(0));
    showCardsOfChosen();
    return status;
}

const Module1::Change* HistoryWindow::chosen() const
{
    const int row = Changes ? Changes->indexOfTopLevelItem(Changes->currentItem()) : -1;
    return row >= 0 && row < static_cast<int>(changes_.size()) ? &changes_[static_cast<size_t>(row)] : nullptr;
}

void HistoryWindow::showCardsOfChosen()
{
    Cards->clear();
    const Module1::Change* change = chosen();
    Restore->setEnabled(change && !change->removed.empty());
    UndoThis->setEnabled(change && !change->takenBack);
    if (!change) return;
    addCards(Cards, change->removed, QStringLiteral("took"));
    addCards(Cards, change->added, QStringLiteral("gave"));
}

void HistoryWindow::Restore_Click()
{
    const Module1::Change* change = chosen();
    if (!change || change->removed.empty()) return;
    Module1::Restored restored;
    FileStatus status = FileStatus::success();
    {
        const BusyCursor busy;
        status = module_.RestoreCards(change->id, restored);
    }
    QString text = status.ok()
        ? QStringLiteral("Restored %1 of %2.").arg(cardCount(restored.cards), whatChanged(*change))
        : QStringLiteral("Nothing was restored.\n\n%1").arg(failureText(status));
    if (!restored.stayed.isEmpty())
        text += QStringLiteral("\n\n%1 stand in the file again and stay as they are: %2.")
                    .arg(cardCount(restored.stayed.size()), restored.stayed.join(QStringLiteral(", ")));
    if (const FileStatus listed = fillChanges(); !listed.ok())
        text += QStringLiteral("\n\nThe list of changes could not be read again: %1").arg(failureText(listed));
    platform_.showMessage(this, text, MessageButtons::Ok);
}

void HistoryWindow::UndoThis_Click()
{
    const Module1::Change* change = chosen();
    if (!change || change->takenBack) return;
    Module1::Undone undone;
    FileStatus status = FileStatus::success();
    {
        const BusyCursor busy;
        status = module_.UndoChange(change->id, undone);
    }
    QString text = status.ok() ? QStringLiteral("Undid %1.").arg(whatChanged(undone.change))
                               : QStringLiteral("Nothing was undone.\n\n%1").arg(failureText(status));
    if (!undone.stayed.isEmpty())
        text += QStringLiteral("\n\n%1 changed since stay as they are: %2.")
                    .arg(cardCount(undone.stayed.size()), undone.stayed.join(QStringLiteral(", ")));
    if (const FileStatus listed = fillChanges(); !listed.ok())
        text += QStringLiteral("\n\nThe list of changes could not be read again: %1").arg(failureText(listed));
    platform_.showMessage(this, text, MessageButtons::Ok);
}

} // namespace kestrix
