// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Each window walked with the keyboard as a keyboard user would: the stops of
// the Tab key with what a screen reader announces for each, and the keys that
// press a button.
#include "about/Form1.h"
#include "search/Form14.h"
#include "windowsupport/WindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <map>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

QString announced(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("<none>");
}

bool activate(QWidget* window)
{
    window->show();
    // On an X server without a window manager a shown window gets no focus by itself.
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// "objectName=announced name" for every stop of the Tab key, from the window's
// first focus round to where it starts again.
QStringList tabStops(QWidget* window)
{
    EXPECT_TRUE(activate(window));
    QWidget* first = QApplication::focusWidget();
    EXPECT_NE(first, nullptr);
    QStringList stops;
    QWidget* current = first;
    do {
        stops << current->objectName() + QLatin1Char('=') + announced(current);
        QTest::keyClick(current, Qt::Key_Tab);
        current = QApplication::focusWidget();
    } while (current && current != first && stops.size() < 50);
    return stops;
}

class KeyboardAndScreenReader : public WindowTest {
protected:
    Form4& editor = open();
};

// The one check of the editor's 21 tab stops: from the first focus, Search,
// around to it again, unlocked so that the fields take the focus.
TEST_F(KeyboardAndScreenReader, EditorTabOrderAndNames)
{
    editor.unlockEditor();
    EXPECT_EQ(announced(&editor), QStringLiteral("KESTRIX"));
    EXPECT_EQ(tabStops(&editor),
              QString("Command5=Search|Command4=Add|Command3=Exit|Command2=Delete|Command1=Save|Command6=About|"
                      "Text14=Record|Text13=MEMO|Text2=CONTACT NAME|Text1=COMPANY NAME|Text12=eMAIL|Text11=FAX|"
                      "Text10=CELL|Text9=PHONE 2|Text8=PHONE|Text7=ZIP|Text6=ST|Text5=CITY|Text4=ADDRESS 2|"
                      "Text3=ADDRESS|Command7=Edit")
                  .split(QLatin1Char('|')));
    for (QLabel* label : editor.findChildren<QLabel*>()) {
        EXPECT_FALSE(label->text().contains(QLatin1Char('&'))) << label->objectName().toStdString();
        EXPECT_NE(label->buddy(), nullptr) << label->objectName().toStdString();
    }
}

TEST_F(KeyboardAndScreenReader, SearchAndAboutTabOrderAndNames)
{
    editor.show();
    editor.Command5->click();
    auto* search = editor.findChild<Form14*>();
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(announced(search), QStringLiteral("NAME / COMPANY"));
    EXPECT_EQ(tabStops(search), QStringList({"Combo1=NAME", "Command1=SELECT"}));
    search->close();

    editor.Command6->click();
    auto* about = editor.findChild<Form1*>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(announced(about), QStringLiteral("aBOUT"));
    EXPECT_EQ(tabStops(about), QStringList({"Text1=Notice", "Command1=DONATE", "Command2=BACK"}));
}

// Return, Enter and Space each press the focused button once, in every
// window. No button is a default button: Return in a text box or in the
// search list presses none. What each button then does is tested with its
// window, so here its handler is left out.
TEST_F(KeyboardAndScreenReader, ReturnEnterAndSpacePressTheFocusedButton)
{
    std::map<std::string, int> presses;
    const auto name = [](const QWidget* widget) {
        return (widget->window()->objectName() + QLatin1Char('.') + widget->objectName()).toStdString();
    };
    const auto checkButtons = [&](const std::vector<QAbstractButton*>& buttons) {
        for (QAbstractButton* button : buttons) {
            QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            QObject::connect(button, &QAbstractButton::clicked, [&, button] { ++presses[name(button)]; });
        }
        for (QAbstractButton* button : buttons) {
            presses.clear();
            button->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(button->hasFocus()) << name(button);
            QTest::keyClick(button, Qt::Key_Return);
            QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
            QTest::keyClick(button, Qt::Key_Space);
            // A key held down repeats its press; the button is pressed once.
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                QKeyEvent repeated(QEvent::KeyPress, key, Qt::NoModifier, QStringLiteral("\r"), true);
                QApplication::sendEvent(button, &repeated);
            }
            EXPECT_EQ(presses, (std::map<std::string, int>{{name(button), 3}}));
        }
        presses.clear();
    };
    const auto checkTextBox = [&](QWidget* box) {
        box->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(box->hasFocus()) << name(box);
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(presses, (std::map<std::string, int>{})) << name(box);
    };

    ASSERT_TRUE(activate(&editor));
    editor.unlockEditor();
    checkButtons({editor.Command4, editor.Command1, editor.Command7, editor.Command2, editor.Command5, editor.Command6,
                  editor.Command3});
    checkTextBox(editor.Text(2));
    checkTextBox(editor.Text(13));

    editor.Command5_Click();
    auto* search = editor.findChild<Form14*>();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(activate(search));
    checkButtons({search->Command1});
    search->Combo1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(search->Combo1, QStringLiteral("1  Ann"));
    checkTextBox(search->Combo1);
    EXPECT_EQ(search->Combo1->currentText(), QStringLiteral("1  Ann"));
    EXPECT_FALSE(search->Command1->isDefault());
    search->close();

    editor.Command6_Click();
    auto* about = editor.findChild<Form1*>();
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(activate(about));
    checkButtons({about->Command1, about->Command2});
    checkTextBox(about->Text1);
    EXPECT_FALSE(about->Command1->isDefault() || about->Command2->isDefault());
}

} // namespace
} // namespace kestrix::testing
