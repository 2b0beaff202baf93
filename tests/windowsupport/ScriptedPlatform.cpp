// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "windowsupport/ScriptedPlatform.h"

#include <gtest/gtest.h>

namespace kestrix::testing {

MessageAnswer ScriptedPlatform::showMessage(QWidget*, const QString& text, MessageButtons buttons,
                                            const std::optional<QString>& title)
{
    shown.push_back({text, buttons, title, std::nullopt});
    if (whileShown) whileShown();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) {
        ADD_FAILURE() << "Unexpected question: " << text.toStdString();
        return MessageAnswer::No;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedPlatform::showNotice(QWidget*, const QString& text, MessageIcon icon)
{
    shown.push_back({text, MessageButtons::Ok, std::nullopt, icon});
    if (whileShown) whileShown();
}

QString ScriptedPlatform::openAddress(const QString& address, const QString& workingDirectory)
{
    opened.push_back({address, workingDirectory});
    return openAddressError;
}

QString ScriptedPlatform::nextFileChosen(const QString& caption)
{
    EXPECT_FALSE(filesChosen.empty()) << "a file dialog nobody answers: " << caption.toStdString();
    if (filesChosen.empty()) return {};
    const QString chosen = filesChosen.front();
    filesChosen.pop_front();
    return chosen;
}

QString ScriptedPlatform::chooseFileToOpen(QWidget*, const QString& caption, const QStringList& filters)
{
    dialogsShown.push_back(QStringList{caption} + filters);
    return nextFileChosen(caption);
}

QString ScriptedPlatform::chooseFileToSave(QWidget*, const QString& caption, const QString& suggested,
                                           const QStringList& filters, QString& chosenFilter)
{
    dialogsShown.push_back(QStringList{caption, suggested} + filters);
    chosenFilter = filters.value(0);
    if (!filtersChosen.empty()) {
        chosenFilter = filtersChosen.front();
        filtersChosen.pop_front();
    }
    return nextFileChosen(caption);
}

namespace {

class RecordedProgress final : public Platform::Progress {
public:
    RecordedProgress(std::vector<int>& steps, int stopAt) : steps_(steps), stopAt_(stopAt) {}
    ~RecordedProgress() override { steps_.push_back(-1); }
    void reach(int step) override
    {
        if (steps_.empty() || steps_.back() != step) steps_.push_back(step);
        stopped_ = stopped_ || (stopAt_ >= 0 && step >= stopAt_);
    }
    bool stopped() const override { return stopped_; }

private:
    std::vector<int>& steps_;
    int stopAt_;
    bool stopped_ = false;
};

} // namespace

void ScriptedPlatform::copyToClipboard(const QString& text, const QByteArray& vCard)
{
    clipboardText = text;
    clipboardVCard = vCard;
}

std::unique_ptr<Platform::Progress> ScriptedPlatform::showProgress(QWidget*, const QString&, int, ProgressStop stop)
{
    return std::make_unique<RecordedProgress>(progressSteps, stop == ProgressStop::Offered ? stopAtStep : -1);
}

} // namespace kestrix::testing
