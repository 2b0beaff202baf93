// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The about window, opened from the editor's About button: the notice, the
// donation question and what each answer does, and BACK.
#include "about/Form1.h"
#include "about/DonateAddress.h"
#include "windowsupport/WindowTest.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

class AboutWindow : public WindowTest {
protected:
    Form1* pressAbout()
    {
        editor.show();
        editor.Command6->click();
        about = editor.findChild<Form1*>();
        return about;
    }

    Form4& editor = open();
    QPointer<Form1> about;
};

TEST_F(AboutWindow, DonateAsksFirstAndOpensThePageOnlyOnYes)
{
    ASSERT_TRUE(pressAbout());
    platform.answers = {MessageAnswer::No, MessageAnswer::Yes};

    about->Command1->click();
    ASSERT_EQ(platform.shown.size(), 1u);
    const ShownMessage& question = platform.shown[0];
    EXPECT_EQ(question.text.toStdString(),
              "We appreciate your support. Any Dollar amount Donation is greatly "
              "Appreciated. \r\n\r\n                  Do you wish to continue?");
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.title, std::optional<QString>(QString()));
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_TRUE(about->isVisible());

    about->Command1->click();
    ASSERT_EQ(platform.opened.size(), 1u);
    EXPECT_EQ(platform.opened[0].address, QString::fromUtf8(kDonateAddress));
    // The program lies in /opt/kestrix/bin: its first three characters are no directory.
    EXPECT_EQ(platform.opened[0].workingDirectory, QStringLiteral("/"));
    EXPECT_EQ(platform.shown.size(), 2u);
}

TEST_F(AboutWindow, ShowsWhyThePageCouldNotBeOpened)
{
    ASSERT_TRUE(pressAbout());
    platform.answers = {MessageAnswer::Yes};
    platform.openAddressError = QStringLiteral("No web browser could be started.");
    about->Command1->click();
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[1].text, platform.openAddressError);
    EXPECT_EQ(platform.shown[1].buttons, MessageButtons::Ok);
    EXPECT_FALSE(platform.shown[1].title.has_value());
}

TEST_F(AboutWindow, ShowsTheNoticeAfreshEachTimeAndBackLeavesTheEditorLocked)
{
    editor.unlockEditor();
    ASSERT_TRUE(pressAbout());
    EXPECT_TRUE(editor.isLocked());
    const QString notice = Form1::kNotice;
    EXPECT_TRUE(notice.startsWith(QStringLiteral("KESTRIX V1")));
    // The rights line names the licence the program is shared under, between
    // the credit and the invitation to send questions.
    const qsizetype credit = notice.indexOf(QStringLiteral("WRITTEN BY"));
    const qsizetype rights =
        notice.indexOf(QStringLiteral("GNU GENERAL PUBLIC LICENSE, VERSION 3 OR ANY LATER VERSION"));
    const qsizetype questions = notice.indexOf(QStringLiteral("PLEASE SEND YOUR QUESTIONS"));
    EXPECT_TRUE(credit >= 0 && credit < rights && rights < questions) << credit << ' ' << rights << ' ' << questions;
    EXPECT_TRUE(notice.contains(QStringLiteral("PLEASE DONATE TO KEEP THIS PROGRAM UPDATED. IF YOU FIND THIS PROGRAM "
                                               "USEFULL, PLEASE DONATE TO THE CUASE. THANK YOU. ")));
    EXPECT_TRUE(notice.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(notice, notice.toUpper());
    editor.Command6->click();
    EXPECT_EQ(editor.findChildren<Form1*>().size(), 1);

    about->Text1->setPlainText(QStringLiteral("scribbled over"));
    about->Command2->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.isNull(); }));
    EXPECT_TRUE(editor.isLocked());

    ASSERT_TRUE(pressAbout());
    EXPECT_EQ(about->Text1->toPlainText(), QString(notice).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

} // namespace
} // namespace kestrix::testing
