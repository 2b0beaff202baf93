// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncAccountDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

// A box of the form with its label; the label's mnemonic moves the focus
// to the box, and a screen reader reads the box by the label's words.
template <typename Box>
Box* addLabelledBox(QFormLayout& form, const QString& caption, const QString& name)
{
    auto* box = new Box;
    box->setAccessibleName(name);
    auto* label = new QLabel(caption);
    label->setBuddy(box);
    form.addRow(label, box);
    return box;
}

} // namespace

SyncAccountDialog::SyncAccountDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SyncAccountDialog"));
    setWindowTitle(QStringLiteral("Sync with server"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    note = new QLabel;
    note->setWordWrap(true);
    note->hide();
    layout->addWidget(note);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    server = addLabelledBox<QLineEdit>(*form, QStringLiteral("&Server address:"), QStringLiteral("Server address"));
    server->setPlaceholderText(QStringLiteral("https://dav.example.com/"));
    // Room for a whole address such as https://cloud.example.com/remote.php/dav/.
    server->setMinimumWidth(server->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);
    user = addLabelledBox<QLineEdit>(*form, QStringLiteral("&User name:"), QStringLiteral("User name"));
    password = addLabelledBox<QLineEdit>(*form, QStringLiteral("&Password:"), QStringLiteral("Password"));
    password->setEchoMode(QLineEdit::Password);
    password->setAccessibleDescription(QStringLiteral("Kept in the desktop's keyring"));
    addressBook = addLabelledBox<QComboBox>(*form, QStringLiteral("&Address book:"), QStringLiteral("Address book"));
    addressBook->setEditable(true);
    addressBook->setInsertPolicy(QComboBox::NoInsert);
    addressBook->lineEdit()->setPlaceholderText(QStringLiteral("the only one, where the server holds one"));
    addressBook->setAccessibleDescription(QStringLiteral("Its name or address; may be left empty"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(server, &QLineEdit::textChanged, this, &SyncAccountDialog::enableOk);
    setTabOrder(server, user);
    setTabOrder(user, password);
    setTabOrder(password, addressBook);
    setTabOrder(addressBook, buttons);
    enableOk();
}

void SyncAccountDialog::enableOk()
{
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!server->text().trimmed().isEmpty());
}

void SyncAccountDialog::setAccount(const SyncAccount& account)
{
    server->setText(account.server);
    user->setText(account.user);
    password->setText(account.password);
    addressBook->setEditText(account.addressBook);
    // Where the server is known, what is missing is most likely the password.
    QLineEdit* first = account.server.isEmpty() ? server : account.user.isEmpty() ? user : password;
    first->setFocus();
}

SyncAccount SyncAccountDialog::account() const
{
    SyncAccount chosen;
    chosen.server = server->text().trimmed();
    chosen.user = user->text().trimmed();
    chosen.password = password->text();
    chosen.addressBook = addressBook->currentText().trimmed();
    return chosen;
}

void SyncAccountDialog::offerAddressBooks(const QList<AddressBook>& books, const QString& why)
{
    addressBook->clear();
    // The server's names for them, as the user knows them; the address
    // where a book has no name or shares it, as the sync finds a book by
    // either and takes the first of a name.
    QStringList names;
    for (const AddressBook& book : books) names << book.displayName.toCaseFolded();
    for (const AddressBook& book : books) {
        const bool named = !book.displayName.isEmpty() && names.count(book.displayName.toCaseFolded()) == 1;
        addressBook->addItem(named ? book.displayName : book.href.toDisplayString());
    }
    note->setText(why);
    note->setVisible(!why.isEmpty());
    addressBook->setFocus();
}

} // namespace kestrix
