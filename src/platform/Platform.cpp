// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "Platform.h"

namespace kestrix {

namespace {

class NoProgress final : public Platform::Progress {
public:
    void reach(int) override {}
};

} // namespace

void Platform::showNotice(QWidget* owner, const QString& text, MessageIcon)
{
    showMessage(owner, text, MessageButtons::Ok);
}

QString Platform::chooseFileToOpen(QWidget*, const QString&, const QStringList&)
{
    return {};
}

QString Platform::chooseFileToSave(QWidget*, const QString&, const QString&, const QStringList&, QString&)
{
    return {};
}

void Platform::copyToClipboard(const QString&, const QByteArray&) {}

std::unique_ptr<Platform::Progress> Platform::showProgress(QWidget*, const QString&, int, ProgressStop)
{
    return std::make_unique<NoProgress>();
}

} // namespace kestrix
