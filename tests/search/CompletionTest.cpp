// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The search window's completion popup, as a user types a part of a name or
// of a number, and the widths of the lists that show whole entries.
#include "editor/Form4.h"
#include "platform/ScriptedPlatform.h"
#include "search/Form14.h"
#include "storage/CardLine.h"
#include "storage/Module1.h"
#include "support/CardFiles.h"
#include "support/TempFolder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

class SearchCompletion : public ::testing::Test {
protected:
    void SetUp() override
    {
        store({makeCard("Priya Natarajan", "13457"), makeCard("Ann Lee", "134"), makeCard("Bob Stone", "2134"),
               makeCard("Cy Priyam", "5")});
        editor.show();
        QApplication::setActiveWindow(&editor);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isActiveWindow(); }));
        editor.Command5->click();
        search = editor.findChild<Form14*>();
        ASSERT_TRUE(search);
        ASSERT_TRUE(QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
    }

    void store(const std::vector<CardRecord>& cards)
    {
        QByteArray bytes;
        for (const CardRecord& card : cards) bytes += cardLine(card);
        folder.write(QStringLiteral("kest1.dat"), bytes);
    }

    // Types `text` after what is there, as keys; returns the completion
    // popup's rows joined by "|", or "hidden".
    std::string type(const QString& text)
    {
        QTest::keyClicks(search->Combo1, text);
        auto* popup = qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget());
        if (!popup || !popup->isVisible()) return "hidden";
        QStringList rows;
        for (int row = 0; row < popup->model()->rowCount(); ++row)
            rows << popup->model()->index(row, 0).data().toString();
        return rows.join(QLatin1Char('|')).toStdString();
    }

    QAbstractItemView* popup() const { return qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget()); }

    TempFolder folder;
    Module1 module{folder.path()};
    ScriptedPlatform platform;
    Form4 editor{module, platform};
    QPointer<Form14> search;
};

TEST_F(SearchCompletion, FindsEntriesByAnyPartOfANameOrNumberInListOrder)
{
    EXPECT_EQ(type("pRIYa"), "13457  Priya Natarajan|5  Cy Priyam");
    EXPECT_EQ(type("m"), "5  Cy Priyam");
    EXPECT_EQ(type("x"), "hidden");
    // Typing never changes what was typed.
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "pRIYamx");

    search->Combo1->clearEditText();
    EXPECT_EQ(type("134"), "134  Ann Lee|13457  Priya Natarajan|2134  Bob Stone");
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "134");
}

// Opening and closing the popup is no focus change: the list is not refilled
// and the text not cleared, however the popup closes.
TEST_F(SearchCompletion, PickingPutsTheWholeEntryInShownFromItsStartAndSelectLoadsIt)
{
    store({makeCard("Dee", "7")});
    EXPECT_EQ(type("n"), "134  Ann Lee|13457  Priya Natarajan|2134  Bob Stone");
    QTest::keyClick(popup(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup() && search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "n");

    EXPECT_EQ(type("ata"), "13457  Priya Natarajan");
    QTest::keyClick(popup(), Qt::Key_Down);
    QTest::keyClick(popup(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup() && search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "13457  Priya Natarajan");
    EXPECT_EQ(search->Combo1->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(search->Combo1->count(), 4);

    // The card file has changed since the list was filled: SELECT reads it afresh.
    store({makeCard("Priya Natarajan", "13457")});
    search->Command1->click();
    EXPECT_EQ(editor.fieldText(Field::CCNAME).toStdString(), "Priya Natarajan");
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
}

// Cards 12 and 112 share a contact. Typing the entry of 12 by hand lists
// both; SELECT, by mouse or by keys, must load 12 all the same, and the
// popup must never lie over SELECT to catch the click.
TEST_F(SearchCompletion, SelectWithThePopupOpenLoadsTheTypedEntry)
{
    CardRecord twelve = makeCard(QStringLiteral("Ann Lee"), QStringLiteral("12"));
    twelve[indexOf(Field::CNAME)] = QStringLiteral("Twelve Ltd");
    CardRecord hundredTwelve = makeCard(QStringLiteral("Ann Lee"), QStringLiteral("112"));
    hundredTwelve[indexOf(Field::CNAME)] = QStringLiteral("Hundred Ltd");
    store({hundredTwelve, twelve});
    const auto pressSearch = [&] {
        QApplication::setActiveWindow(&editor);
        editor.Command5->click();
        search = editor.findChild<Form14*>();
        return search && QTest::qWaitFor([&] { return search->Combo1->hasFocus(); });
    };
    ASSERT_TRUE(pressSearch());
    for (const char* way : {"mouse", "keys"}) {
        SCOPED_TRACE(way);
        editor.setFieldText(Field::CNAME, QString());
        ASSERT_EQ(type("12  Ann Lee"), "112  Ann Lee|12  Ann Lee");
        const QRect select(search->Command1->mapToGlobal(QPoint(0, 0)), search->Command1->size());
        EXPECT_FALSE(popup()->geometry().intersects(select)) << "the popup covers SELECT";
        if (way == std::string("mouse")) {
            // Through the window, as the display delivers a click: while the
            // popup is open, every click goes to it first.
            const QPoint at = search->Command1->mapTo(search, search->Command1->rect().center());
            QTest::mouseClick(search->windowHandle(), Qt::LeftButton, {}, at);
        } else {
            QTest::keyClick(popup(), Qt::Key_Tab);
            ASSERT_TRUE(QTest::qWaitFor([&] { return search->Command1->hasFocus(); }));
            QTest::keyClick(search->Command1, Qt::Key_Return);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return search.isNull(); })) << "SELECT did not load the card";
        EXPECT_EQ(editor.fieldText(Field::CNAME).toStdString(), "Twelve Ltd");
        EXPECT_EQ(editor.fieldText(Field::RecordNumber).toStdString(), "12");
        if (way == std::string("mouse")) {
            ASSERT_TRUE(pressSearch());
        }
    }
}

TEST_F(SearchCompletion, DropDownAndPopupAreWideEnoughForTheLongestEntry)
{
    const QString longest = QStringLiteral("9  Maximiliane Wolkenstein-Trostburg von Hohenlohe");
    store({makeCard("Ann Lee", "134"), makeCard(longest.mid(3), "9")});
    search->Combo1_GotFocus();
    const auto textFits = [&](const QAbstractItemView* list) {
        return list->viewport()->width() > list->fontMetrics().horizontalAdvance(longest);
    };
    ASSERT_NE(type("wolken"), "hidden");
    EXPECT_TRUE(textFits(popup()));
    QTest::keyClick(popup(), Qt::Key_Escape);

    search->Combo1->showPopup();
    QAbstractItemView* dropDown = search->Combo1->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropDown->isVisible(); }));
    EXPECT_TRUE(textFits(dropDown));
    search->Combo1->hidePopup();
}

} // namespace
} // namespace kestrix::testing
