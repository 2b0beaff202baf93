// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "platform/ScriptedPlatform.h"

#include <gtest/gtest.h>

namespace kestrix::testing {

MessageAnswer ScriptedPlatform::showMessage(QWidget*, const QString& text, MessageButtons buttons,
                                            const std::optional<QString>& title)
{
    shown.push_back({text, buttons, title});
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) {
        ADD_FAILURE() << "Unexpected question: " << text.toStdString();
        return MessageAnswer::No;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedPlatform::openAddress(const QString& address, const QString& workingDirectory)
{
    opened.push_back({address, workingDirectory});
    return openAddressError;
}

} // namespace kestrix::testing
