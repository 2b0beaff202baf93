// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "platform/Platform.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace kestrix::testing {

struct ShownMessage {
    QString text;
    MessageButtons buttons;
    std::optional<QString> title;
    std::optional<MessageIcon> icon; // a notice's; a plain message has none
};

// A platform for tests: records every message box and every request to the
// desktop, and answers questions from a script.
class ScriptedPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget* owner, const QString& text, MessageButtons buttons,
                              const std::optional<QString>& title) override;
    void showNotice(QWidget* owner, const QString& text, MessageIcon icon) override;
    QString openAddress(const QString& address, const QString& workingDirectory) override;
    QString programDirectory() const override { return programDirectoryPath; }
    void endProgram() override { ++endProgramCalls; }
    QString chooseFileToOpen(QWidget* owner, const QString& caption, const QStringList& filters) override;
    QString chooseFileToSave(QWidget* owner, const QString& caption, const QString& suggested,
                             const QStringList& filters, QString& chosenFilter) override;
    void copyToClipboard(const QString& text, const QByteArray& vCard) override;
    std::unique_ptr<Progress> showProgress(QWidget* owner, const QString& text, int steps, ProgressStop stop) override;

    // Answers for Yes/No questions, in order. A question with no answer left
    // fails the test.
    std::deque<MessageAnswer> answers;
    std::vector<ShownMessage> shown;
    // Runs while each message box is up, before it is answered.
    std::function<void()> whileShown;

    struct OpenRequest {
        QString address;
        QString workingDirectory;
    };
    std::vector<OpenRequest> opened;
    QString openAddressError;
    QString programDirectoryPath = QStringLiteral("/opt/kestrix/bin");
    int endProgramCalls = 0;

    // Files the file dialogs choose, in order; the empty text cancels. For
    // saving, the filter chosen too (the first filter when empty).
    std::deque<QString> filesChosen;
    std::deque<QString> filtersChosen;
    // What each dialog offered: its caption and filters.
    std::vector<QStringList> dialogsShown;

    QString clipboardText;
    QByteArray clipboardVCard;

    // The steps every progress shown reached, in order; -1 when it closed.
    std::vector<int> progressSteps;
    // The user presses Stop once a progress that offers it reaches this step.
    int stopAtStep = -1;

private:
    QString nextFileChosen(const QString& caption);
};

} // namespace kestrix::testing
