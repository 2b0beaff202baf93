// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Keyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>

namespace kestrix {

namespace {

const QString kService = QStringLiteral("Kestrix");
constexpr int kPatienceMs = 60000;

QString keyOf(const QString& server, const QString& user)
{
    return user + QLatin1Char('@') + server;
}

// Runs `job` to its end; the keyring answers through the event loop.
KeyringAnswer run(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    // A keyring that cannot be had must not become a password in a file.
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished) loop.exec();
    KeyringAnswer answer;
    if (!finished) {
        answer.reason = QStringLiteral("the keyring did not answer within a minute");
        return answer;
    }
    answer.ok = job.error() == QKeychain::NoError;
    answer.missing = job.error() == QKeychain::EntryNotFound;
    if (!answer.ok)
        answer.reason = answer.missing ? QStringLiteral("the keyring holds no password for this account")
                                       : QStringLiteral("the keyring could not be used: %1").arg(job.errorString());
    return answer;
}

} // namespace

KeyringAnswer readPassword(const QString& server, const QString& user)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(keyOf(server, user));
    KeyringAnswer answer = run(job);
    if (answer.ok) answer.password = job.textData();
    return answer;
}

KeyringAnswer storePassword(const QString& server, const QString& user, const QString& password)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(keyOf(server, user));
    job.setTextData(password);
    return run(job);
}

KeyringAnswer forgetPassword(const QString& server, const QString& user)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(keyOf(server, user));
    KeyringAnswer answer = run(job);
    if (answer.missing) answer.ok = true;
    return answer;
}

} // namespace kestrix
