// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The search window, opened from the editor's Search button: when its list
// refills, how it is sorted, and which card SELECT loads.
#include "search/Form14.h"
#include "card/CardLine.h"
#include "support/CardFiles.h"
#include "support/Module1Access.h"
#include "windowsupport/WindowTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

const QString kCards = QStringLiteral("kest1.dat");

class SearchWindow : public WindowTest {
protected:
    // The list's entries, joined by "|".
    std::string entries() const
    {
        QStringList list;
        for (int i = 0; i < search->Combo1->count(); ++i) list << search->Combo1->itemText(i);
        return list.join(QLatin1Char('|')).toStdString();
    }

    // Loaded before the test writes its cards, as the window was first opened.
    Form4& editor = open();
};

TEST_F(SearchWindow, ListsEveryCardSortedAsTextIgnoringCase)
{
    storeCards({makeCard("Bob", "2"), makeCard("Ann", "10"), makeCard("bob", "3"), makeCard("Bob", "3"),
                makeCard("alice", "3")});
    ASSERT_TRUE(pressSearch());
    EXPECT_TRUE(editor.isLocked());
    EXPECT_EQ(entries(), "10  Ann|2  Bob|3  alice|3  Bob|3  bob");
    EXPECT_EQ(search->Combo1->currentText(), QString());
    // The fill is a scan: the card file stays open, RecordNumber ends on the last card.
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Read);
    EXPECT_EQ(module.RecordNumber, QStringLiteral("3"));

    // Without a card file the list is empty, and no file is created.
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
    search->Combo1_GotFocus();
    EXPECT_EQ(entries(), "");
    EXPECT_FALSE(folder.exists(kCards));
}

// The search window carries no icon of its own, nor its owner's: on X it has
// no _NET_WM_ICON, which window managers would draw, while the editor has.
TEST_F(SearchWindow, CarriesNoIconThoughTheEditorDoes)
{
    ASSERT_TRUE(pressSearch());
    EXPECT_TRUE(search->windowIcon().isNull());
    EXPECT_FALSE(editor.windowIcon().isNull());
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    const auto iconProperty = [](const QWidget& window) {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("_NET_WM_ICON")});
        return xprop.waitForFinished(5000) ? QString::fromLatin1(xprop.readAllStandardOutput()) : QString();
    };
    EXPECT_TRUE(iconProperty(*search).contains(QLatin1String("not found"))) << iconProperty(*search).toStdString();
    EXPECT_TRUE(iconProperty(editor).contains(QLatin1String("_NET_WM_ICON(CARDINAL)")));
}

TEST_F(SearchWindow, RefillsWhenTheFocusComesFromAnotherControlOrWindow)
{
    storeCards({makeCard("Ann", "1")});
    ASSERT_TRUE(pressSearch());
    QTest::keyClicks(search->Combo1, QStringLiteral("1  A"));
    storeCards({makeCard("Ann", "1"), makeCard("Bob", "2")});

    QTest::keyClick(search->Combo1, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->Command1->hasFocus(); }));
    EXPECT_EQ(entries(), "1  Ann");
    QTest::keyClick(search->Command1, Qt::Key_Backtab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
    EXPECT_EQ(entries(), "1  Ann|2  Bob");
    EXPECT_EQ(search->Combo1->currentText(), QString());
    // No entry is current after a refill: the first Down takes the first.
    QTest::keyClick(search->Combo1, Qt::Key_Down);
    EXPECT_EQ(search->Combo1->currentText(), QStringLiteral("1  Ann"));

    // Search pressed again brings back the same window, refilled.
    storeCards({makeCard("Cy", "3")});
    const Form14* first = search;
    ASSERT_TRUE(pressSearch());
    EXPECT_EQ(search.data(), first);
    EXPECT_EQ(entries(), "3  Cy");
}

TEST_F(SearchWindow, KeepsThePickedEntryWhenTheFocusComesBackFromItsListOrAnotherProgram)
{
    storeCards({makeCard("Ann", "1"), makeCard("Bob", "2")});
    ASSERT_TRUE(pressSearch());
    storeCards({makeCard("Cy", "3")});

    search->Combo1->showPopup();
    QAbstractItemView* list = search->Combo1->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
    list->setCurrentIndex(list->model()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->isVisible() && search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText(), QStringLiteral("2  Bob"));
    EXPECT_EQ(entries(), "1  Ann|2  Bob");

    // Leaving the program and coming back is no focus change within it.
    QApplication::setActiveWindow(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search->Combo1->hasFocus(); }));
    QApplication::setActiveWindow(search);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText(), QStringLiteral("2  Bob"));
    EXPECT_EQ(entries(), "1  Ann|2  Bob");
}

TEST_F(SearchWindow, SelectLoadsTheCardWhoseEntryMatchesExactlyAndCloses)
{
    const CardRecord bob = makeCard("Bob", "2");
    storeCards({makeCard("Ann", "1"), bob, makeCard("Cy", "3")});
    ASSERT_TRUE(pressSearch());

    for (const char* nearMiss : {"2 Bob", "2  bob", "2  Bob ", "2"}) {
        search->Combo1->setEditText(QString::fromLatin1(nearMiss));
        search->Command1->click();
        EXPECT_TRUE(search->isVisible()) << nearMiss;
        EXPECT_EQ(editor.fieldText(Field::CCNAME), QString()) << nearMiss;
    }

    search->Combo1->clearEditText();
    QTest::keyClicks(search->Combo1, QStringLiteral("2  Bob"));
    search->Command1->click();
    EXPECT_EQ(editor.card(), bob);
    EXPECT_TRUE(editor.isLocked());
    // The rest of the file is still read: RecordNumber holds the last card's number.
    EXPECT_EQ(module.RecordNumber, QStringLiteral("3"));
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Read);
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
}

TEST_F(SearchWindow, OfTwoIdenticalEntriesTheFirstCardLoadsAndTheLockStaysAsItWas)
{
    CardRecord first = makeCard("Dee", "5");
    CardRecord second = makeCard("Dee", "5");
    first[indexOf(Field::CNAME)] = QStringLiteral("First Ltd");
    second[indexOf(Field::CNAME)] = QStringLiteral("Second Ltd");
    storeCards({first, second, makeCard("Eve", "6")});
    ASSERT_TRUE(pressSearch());
    EXPECT_EQ(entries(), "5  Dee|5  Dee|6  Eve");

    editor.unlockEditor();
    search->Combo1->setCurrentIndex(1);
    search->Command1->click();
    EXPECT_EQ(editor.card(), first);
    EXPECT_FALSE(editor.isLocked());
}

} // namespace
} // namespace kestrix::testing

namespace kestrix::testing {
namespace {

TEST_F(SearchWindow, UnreadableCardFileIsToldOnceAndAgainOnSelect)
{
    ASSERT_TRUE(QFile::remove(folder.pathOf(kCards)));
    folder.makeFolder(kCards);
    ASSERT_TRUE(pressSearch());
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.contains(QStringLiteral("\"kest1.dat\": it is a folder")));

    // Refills with the same failure stay quiet; SELECT says why nothing loads.
    search->Combo1_GotFocus();
    EXPECT_EQ(platform.shown.size(), 1u);
    search->Combo1->setEditText(QStringLiteral("1  Ann"));
    search->Command1->click();
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_TRUE(platform.shown[1].text.startsWith(QStringLiteral("The card could not be loaded.")));
    EXPECT_TRUE(search->isVisible());
}

} // namespace
} // namespace kestrix::testing
