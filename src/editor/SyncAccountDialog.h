// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "cardsync/CardSync.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace kestrix {

// Asks which server to sync the card file with, as whom, and with which
// address book. The password lives only in its box and the account handed
// back, never in the window's settings.
class SyncAccountDialog final : public QDialog {
    Q_OBJECT

public:
    explicit SyncAccountDialog(QWidget* parent = nullptr);

    void setAccount(const SyncAccount& account);
    SyncAccount account() const;
    // Offers the server's address books to choose from, saying why.
    void offerAddressBooks(const QList<AddressBook>& books, const QString& why);

    QLabel* note = nullptr; // hidden until there is something to say
    QLineEdit* server = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;
    QComboBox* addressBook = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    // Without an address nothing can be synced, so OK waits for one.
    void enableOk();
};

} // namespace kestrix
