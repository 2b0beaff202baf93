// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include <QString>

namespace kestrix {

// What the keyring said: the password, or why there is none. `missing`
// tells a keyring that holds no password for the account from one that
// could not be asked (none runs, the user refused to unlock it).
struct KeyringAnswer {
    bool ok = false;
    bool missing = false;
    QString password;
    QString reason;
};

// The password of `user` at `server` in the desktop's keyring (the Secret
// Service, KWallet). Blocks until the keyring answers, at most a minute: it
// may ask the user to unlock it. Never falls back to a plain file.
KeyringAnswer readPassword(const QString& server, const QString& user);
KeyringAnswer storePassword(const QString& server, const QString& user, const QString& password);
KeyringAnswer forgetPassword(const QString& server, const QString& user);

} // namespace kestrix
