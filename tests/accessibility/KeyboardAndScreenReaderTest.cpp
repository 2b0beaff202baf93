// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Each window walked with the Tab key as a keyboard user would, reading what
// a screen reader announces for every stop.
#include "about/Form1.h"
#include "editor/Form4.h"
#include "platform/ScriptedPlatform.h"
#include "search/Form14.h"
#include "storage/Module1.h"
#include "support/TempFolder.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

QString announced(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("<none>");
}

// "objectName=announced name" for every stop of the Tab key, from the window's
// first focus round to where it starts again.
QStringList tabStops(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
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

class KeyboardAndScreenReader : public ::testing::Test {
protected:
    TempFolder folder;
    Module1 module{folder.path()};
    ScriptedPlatform platform;
    Form4 editor{module, platform};
};

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

} // namespace
} // namespace kestrix::testing
