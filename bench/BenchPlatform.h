// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "platform/Platform.h"

namespace kestrix::bench {

// Answers every question with Yes and shows nothing, so the handlers run at
// full speed; counts what would have been shown.
class BenchPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget*, const QString&, MessageButtons buttons, const std::optional<QString>&) override
    {
        ++messages;
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    QString openAddress(const QString&, const QString&) override { return {}; }
    QString programDirectory() const override { return QStringLiteral("/"); }
    void endProgram() override {}

    int messages = 0;
};

} // namespace kestrix::bench
