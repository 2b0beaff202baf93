// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QFrame;
class QLabel;
class QMenu;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace kestrix {

class FileStatus;
class Form1;
class MemoText;
class Form14;
class HistoryWindow;
class Module1;
class Platform;
struct AddressBook;
struct SyncAccount;
struct SyncOutcome;

// The main window: one card in 14 text boxes and the seven command buttons.
// While the card is locked its text boxes show their text but take neither
// input nor focus; the memo, read-only instead, takes no input but scrolls.
class Form4 : public QWidget {
    Q_OBJECT

public:
    // Creates the window and its controls and runs its load handler; the
    // window stays hidden until shown.
    Form4(Module1& module, Platform& platform, QWidget* parent = nullptr);

    // The text box of field k (1 to 14), as Text<k> on the window.
    QWidget* Text(int k) const;
    QString fieldText(Field field) const;
    void setFieldText(Field field, const QString& text);
    // Texts of Text1 to Text14 in field order.
    CardRecord card() const;
    // Puts `card` into Text1 to Text14, as loading it does.
    void showCard(const CardRecord& card);

    // The caption of field's label, as the user sees it ("CONTACT NAME").
    QString fieldCaption(Field field) const;

    bool isLocked() const;
    void lockEditor();
    void unlockEditor();

    // The command buttons' handlers.
    void Command1_Click(); // Save
    void Command2_Click(); // Delete
    void Command3_Click(); // Exit
    void Command4_Click(); // Add
    void Command5_Click(); // Search
    void Command6_Click(); // About
    void Command7_Click(); // Edit

    // The window's menu (right mouse button, the Menu key, Shift+F10), and
    // cards dropped on it: cards in and out of the card file.
    void ImportCards_Click();
    void ExportCards_Click();
    void CopyCard_Click();
    // Syncs the card file with a CardDAV server: asking for the account
    // first, or with the one synced last and the keyring's password.
    void SyncWithServer_Click();
    void SyncNow_Click();
    // Takes back the newest change made here, and opens the history window.
    void UndoChange_Click();
    void History_Click();
    // Adds the contacts of each file as new cards, and tells how it went.
    void Form_DragDrop(const QStringList& files);

    QFrame* Frame1 = nullptr;
    QFrame* Frame2 = nullptr;
    QFrame* Frame3 = nullptr;
    QToolButton* Command1 = nullptr; // Save
    QToolButton* Command2 = nullptr; // Delete
    QToolButton* Command3 = nullptr; // Exit
    QToolButton* Command4 = nullptr; // Add
    QToolButton* Command5 = nullptr; // Search
    QToolButton* Command6 = nullptr; // About
    QToolButton* Command7 = nullptr; // Edit

    // Where and how each command button is laid out.
    struct ButtonPlacement;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void addButton(const ButtonPlacement& placement);
    void buildEditingPanel();
    void buildButtonPanel();
    // The colours the panels take from the window's palette; set again
    // whenever the palette changes, as when the desktop switches theme.
    void applyPanelColours();
    // A locked memo, read-only but not disabled, takes the locked boxes' look.
    void applyMemoColours();
    void setLocked(bool locked);
    void setTabOrder();
    void connectButtons();
    void Form_Load();
    void clearDataFields();
    // Tells the user how storing the card went; a stored card is locked.
    void reportSave(const FileStatus& status);
    // Tells what the storage noticed on the way, once a run each.
    void tellNotices();
    // The menu's entries, added to `menu`: the cards in and out, then the
    // way back (undo, history).
    void addCardMenuTo(QMenu& menu);
    void addHistoryMenuTo(QMenu& menu);
    // Asks for the account, offering `books` to choose from, and syncs until
    // a sync ran or the user cancels.
    void syncThroughDialog(SyncAccount account, QList<AddressBook> books);
    SyncOutcome runSync(const SyncAccount& account);
    void tellSync(const SyncOutcome& outcome, const QString& keyringWhy);
    void offerCardMenuInTextBoxes();

    Module1& module_;
    Platform& platform_;
    std::array<QLabel*, kFieldCount> labels_{};
    std::array<QLineEdit*, kFieldCount> lineEdits_{}; // every field but the memo
    QPlainTextEdit* memo_ = nullptr;
    MemoText* memoText_ = nullptr;
    QPointer<Form14> search_;
    QPointer<Form1> about_;
    QPointer<HistoryWindow> history_;
    bool placed_ = false;
    // What the start's merge noticed waits for the window to show.
    bool noticesAtStart_ = false;
};

} // namespace kestrix
