// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "platform/Platform.h"

#include <deque>
#include <optional>
#include <vector>

namespace kestrix::testing {

struct ShownMessage {
    QString text;
    MessageButtons buttons;
    std::optional<QString> title;
};

// A platform for tests: records every message box and every request to the
// desktop, and answers questions from a script.
class ScriptedPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                              const std::optional<QString>& title) override;
    QString openAddress(const QString& address, const QString& workingDirectory) override;
    QString programDirectory() const override { return programDirectoryPath; }
    void endProgram() override { ++endProgramCalls; }

    // Answers for Yes/No questions, in order. A question with no answer left
    // fails the test.
    std::deque<MessageAnswer> answers;
    std::vector<ShownMessage> shown;

    struct OpenRequest {
        QString address;
        QString workingDirectory;
    };
    std::vector<OpenRequest> opened;
    QString openAddressError;
    QString programDirectoryPath = QStringLiteral("/opt/kestrix/bin");
    int endProgramCalls = 0;
};

} // namespace kestrix::testing
