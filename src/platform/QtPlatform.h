// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "Platform.h"

namespace kestrix {

// The platform of a real desktop session.
class QtPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                              const std::optional<QString>& title) override;
    void showNotice(QWidget* owner, const QString& text, MessageIcon icon) override;
    QString openAddress(const QString& address, const QString& workingDirectory) override;
    QString programDirectory() const override;
    void endProgram() override;
    QString chooseFileToOpen(QWidget* owner, const QString& caption, const QStringList& filters) override;
    QString chooseFileToSave(QWidget* owner, const QString& caption, const QString& suggested,
                             const QStringList& filters, QString& chosenFilter) override;
    void copyToClipboard(const QString& text, const QByteArray& vCard) override;
    std::unique_ptr<Progress> showProgress(QWidget* owner, const QString& text, int steps, ProgressStop stop) override;
};

} // namespace kestrix
