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
    QString openAddress(const QString& address, const QString& workingDirectory) override;
    QString programDirectory() const override;
    void endProgram() override;
};

} // namespace kestrix
