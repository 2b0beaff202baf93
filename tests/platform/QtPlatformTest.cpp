// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The real message boxes: buttons, answers, and the pointer the user answers with.
#include "platform/QtPlatform.h"
#include "platform/BusyCursor.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

// Presses `button` on the message box as soon as it is up, noting what the
// user would have seen.
struct BoxPress {
    explicit BoxPress(QMessageBox::StandardButton pressed) : button(pressed) {}

    QMessageBox::StandardButton button;
    QString title;
    qsizetype buttonCount = 0;
    int width = 0;
    bool waitCursorWhileShown = true;

    void arm()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            buttonCount = box->buttons().size();
            width = box->width();
            waitCursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
            box->button(button)->click();
        });
    }
};

TEST(QtPlatform, QuestionIsAnsweredWithTheUsualPointerAndTheWaitCursorReturns)
{
    QtPlatform platform;
    Platform& shown = platform;
    const BusyCursor busy;
    BoxPress press(QMessageBox::No);
    press.arm();
    EXPECT_EQ(shown.showMessage(nullptr, QStringLiteral("Do You wish to update?"), MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_FALSE(press.waitCursorWhileShown);
    EXPECT_EQ(press.title, QStringLiteral("Kestrix"));
    EXPECT_EQ(press.buttonCount, 2);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    BoxPress yes(QMessageBox::Yes);
    yes.arm();
    EXPECT_EQ(shown.showMessage(nullptr, QStringLiteral("?"), MessageButtons::YesNo, QString()), MessageAnswer::Yes);
    EXPECT_EQ(yes.title, QString());
}

// The window manager cuts a title its bar has no room for: a short message
// leaves room for its title in bold beside an icon and three square buttons.
TEST(QtPlatform, ShortMessageIsWideEnoughForItsTitle)
{
    QtPlatform platform;
    BoxPress press(QMessageBox::Ok);
    press.arm();
    platform.showMessage(nullptr, QStringLiteral("record saved"), MessageButtons::Ok, std::nullopt);
    QFont bold = QApplication::font("QMessageBox");
    bold.setBold(true);
    const int button = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_GE(press.width, QFontMetrics(bold).horizontalAdvance(QStringLiteral("Kestrix")) + 4 * button);
}

} // namespace
} // namespace kestrix::testing
