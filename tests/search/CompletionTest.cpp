// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The search window's completion popup, as a user types a part of a name, a
// company or a number, and the widths of the lists that show whole entries.
#include "card/CardLine.h"
#include "search/Form14.h"
#include "support/CardFiles.h"
#include "windowsupport/TextContrast.h"
#include "windowsupport/WindowTest.h"

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

class SearchCompletion : public WindowTest {
protected:
    void SetUp() override
    {
        storeCards({card("13457", "Priya Natarajan", "Lakeside Bakery"), card("134", "Ann Lee", "Summit Tools"),
                    card("2134", "Bob Stone", "Annapurna Travel"), card("5", "Cy Priyam", "Granite Tools"),
                    card("997", "Zoë Ångström", "Björklund AB"), card("10997", "Zoe Angstrom", "Nordic Øresund"),
                    card("20", "Søren Łukasz", "Straße GmbH")});
        ASSERT_TRUE(pressSearch());
    }

    static CardRecord card(const QString& number, const QString& contact, const QString& company)
    {
        CardRecord card = makeCard(contact, number);
        card[indexOf(Field::CNAME)] = company;
        return card;
    }

    // Types `text` after what is there, as keys, "ë" as a keyboard with
    // that key types it; returns the completion popup's rows joined by "|",
    // or "hidden".
    std::string type(const QString& text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, search->Combo1, Qt::Key(c.toUpper().unicode()), QString(c), {});
        auto* popup = qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget());
        if (!popup || !popup->isVisible()) return "hidden";
        QStringList rows;
        for (int row = 0; row < popup->model()->rowCount(); ++row)
            rows << popup->model()->index(row, 0).data().toString();
        return rows.join(QLatin1Char('|')).toStdString();
    }

    QAbstractItemView* popup() const { return qobject_cast<QAbstractItemView*>(QApplication::activePopupWidget()); }

    // Loaded before the cards are written, as the window was first opened.
    Form4& editor = open();
};

// Each text typed afresh, key by key: the offers are the entries whose
// number, contact or company holds it, ignoring case and accents either way;
// those where a word starts with it first, then the rest, each in list order.
TEST_F(SearchCompletion, FindsEntriesByNumberNameOrCompanyWordStartsFirst)
{
    const std::vector<std::pair<QString, std::string>> typed = {
        {"pRIYa", "13457  Priya Natarajan|5  Cy Priyam"},
        {"134", "134  Ann Lee|13457  Priya Natarajan|2134  Bob Stone"},
        {"997", "997  Zoë Ångström|10997  Zoe Angstrom"},
        {"an",
         "10997  Zoe Angstrom|134  Ann Lee|2134  Bob Stone|997  Zoë Ångström|13457  Priya Natarajan|5  Cy Priyam"},
        {"tools", "134  Ann Lee|5  Cy Priyam"},
        {"zoe", "10997  Zoe Angstrom|997  Zoë Ångström"},
        {"Zoë", "10997  Zoe Angstrom|997  Zoë Ångström"},
        {"ÅNGSTRÖM", "10997  Zoe Angstrom|997  Zoë Ångström"},
        {"bjork", "997  Zoë Ångström"},
        {"oresund", "10997  Zoe Angstrom"},
        {"soren lukasz", "20  Søren Łukasz"},
        {"strasse", "20  Søren Łukasz"},
        {"x", "hidden"},
    };
    for (const auto& [text, offers] : typed) {
        search->Combo1->clearEditText();
        EXPECT_EQ(type(text), offers) << text.toStdString();
        // Typing never changes what was typed.
        EXPECT_EQ(search->Combo1->currentText(), text);
    }
}

// Opening and closing the popup is no focus change: the list is not refilled
// and the text not cleared, however the popup closes.
TEST_F(SearchCompletion, PickingPutsTheWholeEntryInShownFromItsStartAndSelectLoadsIt)
{
    storeCards({makeCard("Dee", "7")});
    EXPECT_EQ(type("na"), "13457  Priya Natarajan|2134  Bob Stone");
    QTest::keyClick(popup(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup() && search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "na");

    EXPECT_EQ(type("ta"), "13457  Priya Natarajan");
    QTest::keyClick(popup(), Qt::Key_Down);
    QTest::keyClick(popup(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup() && search->Combo1->hasFocus(); }));
    EXPECT_EQ(search->Combo1->currentText().toStdString(), "13457  Priya Natarajan");
    EXPECT_EQ(search->Combo1->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(search->Combo1->count(), 7);

    // The card file has changed since the list was filled: SELECT reads it afresh.
    storeCards({makeCard("Priya Natarajan", "13457")});
    search->Command1->click();
    EXPECT_EQ(editor.fieldText(Field::CCNAME).toStdString(), "Priya Natarajan");
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
}

// Cards 12 and 112 share a contact, and a second card 12 has it without its
// accent. Typing the entry of 12 by hand offers all three, the one without
// the accent first; SELECT, by mouse or by keys, must load the typed one all
// the same, and the popup must never lie over SELECT to catch the click.
TEST_F(SearchCompletion, SelectWithThePopupOpenLoadsTheTypedEntry)
{
    storeCards({card("112", "Zoë Lee", "Hundred Ltd"), card("12", "Zoe Lee", "Plain Ltd"),
                card("12", "Zoë Lee", "Twelve Ltd")});
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
        ASSERT_EQ(type("12  Zoë Lee"), "12  Zoe Lee|12  Zoë Lee|112  Zoë Lee");
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

// Escape closes the popup or the drop-down while one is open, else the
// window, from the box or from SELECT, as its close button does; the card in
// the editor stays.
TEST_F(SearchCompletion, EscapeClosesThePopupOrTheDropDownThenTheWindow)
{
    editor.setFieldText(Field::CCNAME, QStringLiteral("Kept Card"));
    EXPECT_EQ(type("an"),
              "10997  Zoe Angstrom|134  Ann Lee|2134  Bob Stone|997  Zoë Ångström|"
              "13457  Priya Natarajan|5  Cy Priyam");
    QTest::keyClick(popup(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !popup() && search->Combo1->hasFocus(); }));
    search->Combo1->showPopup();
    QAbstractItemView* dropDown = search->Combo1->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropDown->isVisible(); }));
    QTest::keyClick(dropDown, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dropDown->isVisible() && search->Combo1->hasFocus(); }));
    EXPECT_TRUE(search->isVisible());

    QTest::keyClick(search->Combo1, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
    EXPECT_EQ(editor.fieldText(Field::CCNAME).toStdString(), "Kept Card");

    QApplication::setActiveWindow(&editor);
    editor.Command5->click();
    search = editor.findChild<Form14*>();
    ASSERT_TRUE(search && QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
    QTest::keyClick(search->Combo1, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return search->Command1->hasFocus(); }));
    QTest::keyClick(search->Command1, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return search.isNull(); }));
    EXPECT_EQ(editor.fieldText(Field::CCNAME).toStdString(), "Kept Card");
}

// Each offer shows its company after the entry, in a colour plainly quieter
// than the entry's and still readable (4.5:1), in a light and a dark palette.
TEST_F(SearchCompletion, OffersShowTheirCompanyQuieterYetReadableInLightAndDarkPalettes)
{
    const PaletteRestorer restorer;
    for (const auto& [name, palette] : {std::pair{"light", restorer.saved}, std::pair{"dark", darkPalette()}}) {
        QApplication::setPalette(palette);
        QApplication::processEvents();
        search->Combo1->clearEditText();
        ASSERT_EQ(type("tools"), "134  Ann Lee|5  Cy Priyam") << name;
        QAbstractItemView* list = popup();
        // The popup lays its rows out after it shows.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !list->visualRect(list->model()->index(0, 0)).isEmpty(); }));
        const QImage shown = list->viewport()->grab().toImage();
        const QRect row = list->visualRect(list->model()->index(0, 0));
        const QFontMetrics metrics = list->fontMetrics();
        const int entryEnd = row.left() + 4 + metrics.horizontalAdvance(QStringLiteral("134  Ann Lee"));
        const int companyStart = entryEnd + metrics.horizontalAdvance(QStringLiteral("  "));
        const QRect entry(row.left(), row.top(), entryEnd - row.left(), row.height());
        const QRect company(companyStart, row.top(), metrics.horizontalAdvance(QStringLiteral("  Summit Tools")),
                            row.height());
        EXPECT_GE(textContrast(shown, company), 4.5) << name;
        EXPECT_LT(textContrast(shown, company), 0.8 * textContrast(shown, entry)) << name;
        QTest::keyClick(list, Qt::Key_Escape);
    }
}

// The drop-down shows entries, the popup entries with their companies.
TEST_F(SearchCompletion, DropDownAndPopupAreWideEnoughForTheLongestEntry)
{
    const QString longest = QStringLiteral("9  Maximiliane Wolkenstein-Trostburg von Hohenlohe");
    storeCards({card("134", "Ann Lee", "Summit Tools"), card("9", longest.mid(3), "Hohenlohe Weinkellerei GmbH")});
    search->Combo1_GotFocus();
    const auto textFits = [&](const QAbstractItemView* list, const QString& text) {
        return list->viewport()->width() > list->fontMetrics().horizontalAdvance(text);
    };
    ASSERT_NE(type("wolken"), "hidden");
    EXPECT_TRUE(textFits(popup(), longest + QStringLiteral("    Hohenlohe Weinkellerei GmbH")));
    QTest::keyClick(popup(), Qt::Key_Escape);

    search->Combo1->showPopup();
    QAbstractItemView* dropDown = search->Combo1->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropDown->isVisible(); }));
    EXPECT_TRUE(textFits(dropDown, longest));
    search->Combo1->hidePopup();
}

} // namespace
} // namespace kestrix::testing
