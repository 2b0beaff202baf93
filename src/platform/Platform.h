// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QWidget;

namespace kestrix {

enum class MessageButtons { Ok, YesNo };
// Whether a long piece of work may be stopped by the user.
enum class ProgressStop { NotOffered, Offered };
enum class MessageAnswer { Ok, Yes, No };
// The desktop's icon on a message box that tells how work went.
enum class MessageIcon { Information, Warning };

// What the windows need from outside themselves. Windows never open message
// boxes or talk to the desktop directly, so tests can answer the questions
// and read what the user was shown.
class Platform {
public:
    static inline const QString kApplicationTitle = QStringLiteral("Kestrix");

    virtual ~Platform() = default;

    // A modal message box without icon; the first button is the default. With
    // no title given it carries the application's title; an empty title is
    // shown as such.
    virtual MessageAnswer showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                                      const std::optional<QString>& title = std::nullopt) = 0;

    // A modal message box with an OK button and the icon, for the outcome of
    // work that may go wrong for reasons outside the card file, such as a
    // server; the application's title. By default the plain message box.
    virtual void showNotice(QWidget* owner, const QString& text, MessageIcon icon);

    // Asks the desktop to open `address` in the default browser, started in
    // `workingDirectory`. Returns the empty text, or what went wrong.
    virtual QString openAddress(const QString& address, const QString& workingDirectory) = 0;

    // The directory that holds the program's executable file.
    virtual QString programDirectory() const = 0;

    // Ends the program: every window and every file is closed, and no further
    // handler runs.
    virtual void endProgram() = 0;

    // The desktop's file dialogs. `filters` as the toolkit writes them
    // ("vCard (*.vcf *.vcard)"); the first is chosen at first. Both return
    // the file chosen, or the empty text when the user cancelled; saving also
    // tells which filter was chosen. Without a desktop, nothing is chosen.
    virtual QString chooseFileToOpen(QWidget* owner, const QString& caption, const QStringList& filters);
    virtual QString chooseFileToSave(QWidget* owner, const QString& caption, const QString& suggested,
                                     const QStringList& filters, QString& chosenFilter);

    // Puts a card on the clipboard, as plain text and as a vCard.
    virtual void copyToClipboard(const QString& text, const QByteArray& vCard);

    // How far a long piece of work has come, in steps; shown only once the
    // work takes long enough to need it, and closed when it is destroyed.
    // While it is up, no other window takes input. Where a stop is offered,
    // stopped() tells whether the user asked for it.
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void reach(int step) = 0;
        // What the work is doing now, in place of the text it started with.
        virtual void tell(const QString&) {}
        virtual bool stopped() const { return false; }
    };
    virtual std::unique_ptr<Progress> showProgress(QWidget* owner, const QString& text, int steps,
                                                   ProgressStop stop = ProgressStop::NotOffered);
};

} // namespace kestrix
