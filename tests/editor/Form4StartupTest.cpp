// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor window as it opens: layout, lock, and the number in "Record".
#include "search/Form14.h"
#include "storage/CardLine.h"
#include "support/CardFiles.h"
#include "support/Module1Access.h"
#include "support/TextContrast.h"
#include "support/WindowTest.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyleOptionComboBox>
#include <QStyleOptionToolButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace kestrix::testing {
namespace {

class Form4Startup : public WindowTest {};

// Where a text box draws its text, in the window's coordinates: inside its
// frame, and for the memo without its scroll bar.
QRect textArea(const QWidget* window, const QWidget* box)
{
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(box)) {
        const QWidget* page = memo->viewport();
        return QRect(page->mapTo(window, QPoint()), page->size());
    }
    return QRect(box->mapTo(window, QPoint()), box->size()).adjusted(3, 3, -3, -3);
}

TEST_F(Form4Startup, WithoutCardFileCreatesItAndShowsOne)
{
    open();
    EXPECT_TRUE(folder.exists(QStringLiteral("kest1.dat")));
    EXPECT_EQ(folder.read(QStringLiteral("kest1.dat")), QByteArray());
    EXPECT_EQ(form->fieldText(Field::RecordNumber), QStringLiteral("1"));
    for (Field field : kAllFields) {
        if (field == Field::RecordNumber) continue;
        EXPECT_EQ(form->fieldText(field), QString()) << indexOf(field);
    }
    EXPECT_TRUE(form->isLocked());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(Module1Access::slot1(module), FileSlot::Mode::Closed);
}

TEST_F(Form4Startup, ShowsTheLastCardsNumber)
{
    folder.write(QStringLiteral("kest1.dat"),
                 cardLine(makeCard(QStringLiteral("Ann"), QStringLiteral("12")))
                     + cardLine(makeCard(QStringLiteral("Bob"), QStringLiteral("7"))));
    EXPECT_EQ(open().fieldText(Field::RecordNumber), QStringLiteral("7"));

    folder.write(QStringLiteral("kest1.dat"), QByteArray("\r\n"));
    module.RecordNumber.clear();
    EXPECT_EQ(open().fieldText(Field::RecordNumber), QStringLiteral("1"));
}

// Another computer stored a card while the two were apart; the sync program
// kept its card file as a copy beside ours. The window opens with that card
// merged in, and says so once.
TEST_F(Form4Startup, AnotherComputersCopyIsMergedAtStartAndTold)
{
    const QByteArray ann = cardLine(makeCard(QStringLiteral("Ann"), QStringLiteral("12")));
    const QByteArray bob = cardLine(makeCard(QStringLiteral("Bob"), QStringLiteral("13")));
    const QString copy = QStringLiteral("kest1 (conflicted copy 2026-12-07 105153).dat");
    folder.write(QStringLiteral("kest1.dat"), ann);
    folder.write(copy, ann + bob);
    open();
    EXPECT_EQ(folder.read(QStringLiteral("kest1.dat")), ann + bob);
    EXPECT_FALSE(folder.exists(copy));
    EXPECT_EQ(form->fieldText(Field::RecordNumber), QStringLiteral("13"));
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.startsWith(
        QStringLiteral("1 card(s) from another computer's copy of the card file were added (%1).").arg(copy)));
}

TEST_F(Form4Startup, UnreadableCardFileIsReportedOnceAndTheWindowStillOpens)
{
    folder.makeFolder(QStringLiteral("kest1.dat"));
    open();
    ASSERT_EQ(platform.shown.size(), 1u);
    const ShownMessage& message = platform.shown.front();
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_FALSE(message.title.has_value());
    EXPECT_TRUE(message.text.contains(QStringLiteral("kest1.dat")));
    EXPECT_TRUE(message.text.contains(QStringLiteral("folder")));
    EXPECT_EQ(form->fieldText(Field::RecordNumber), QStringLiteral("1"));
}

TEST_F(Form4Startup, LockedFieldsTakeNoTyping)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto* company = qobject_cast<QLineEdit*>(form->Text(1));
    QTest::keyClicks(company, QStringLiteral("Acme"));
    EXPECT_EQ(company->text(), QString());
    form->unlockEditor();
    QTest::keyClicks(company, QStringLiteral("Acme"));
    EXPECT_EQ(company->text(), QStringLiteral("Acme"));
}

// A locked card is what the user reads most: its fields and labels keep the
// palette's text colours, measured on the pixels drawn, and the lock shows in
// the boxes' background, plainly: their brightness differs by a twenty-fifth
// of white's at least. The palette changes while the windows are open, as
// when the desktop switches theme: the button panel's colour follows it, and
// the search window's drop-down arrow stands out from its button as WCAG
// asks of controls (3:1).
TEST_F(Form4Startup, LockedCardIsReadableInLightAndDarkPalettes)
{
    const PaletteRestorer restorer;
    open();
    const CardRecord card = makeCard(QStringLiteral("Anna Novak"), QStringLiteral("12"));
    form->showCard(card);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->Command5->click();
    auto* search = form->findChild<Form14*>();
    ASSERT_NE(search, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(search));

    for (const auto& [name, palette] : {std::pair{"light", restorer.saved}, std::pair{"dark", darkPalette()},
                                        std::pair{"dark, light buttons", darkPaletteWithLightButtons()}}) {
        QApplication::setPalette(palette);
        QApplication::processEvents(); // widgets learn of the new palette through posted events
        form->unlockEditor();
        const QImage unlocked = form->grab().toImage();
        form->lockEditor();
        const QImage locked = form->grab().toImage();
        for (int k = 1; k <= kFieldCount; ++k) {
            const QRect box = textArea(form.get(), form->Text(k));
            const auto* label = form->findChild<QLabel*>(QStringLiteral("Label%1").arg(k));
            ASSERT_NE(label, nullptr);
            // The Record and MEMO labels reach a pixel into their box's frame.
            const QRect caption = QRect(label->mapTo(form.get(), QPoint()), label->size()).adjusted(1, 1, -1, -1);
            EXPECT_GE(textContrast(locked, box), 4.5) << name << " Text" << k;
            EXPECT_GE(textContrast(locked, caption), 4.5) << name << " Label" << k;
            const double lockShows =
                std::abs(relativeLuminance(backgroundOf(locked, box)) - relativeLuminance(backgroundOf(unlocked, box)));
            EXPECT_GE(lockShows, 0.04) << name << " Text" << k;
        }
        const QRect panel(form->Frame2->mapTo(form.get(), QPoint()), form->Frame2->size());
        EXPECT_EQ(backgroundOf(locked, panel).rgb(), palette.color(QPalette::Dark).rgb()) << name;

        QStyleOptionComboBox box;
        box.initFrom(search->Combo1);
        box.editable = true;
        const QRect arrow = search->Combo1->style()->subControlRect(QStyle::CC_ComboBox, &box, QStyle::SC_ComboBoxArrow,
                                                                    search->Combo1);
        const QImage combo = search->Combo1->grab().toImage();
        // Inside the button's frame, which the focus colours.
        EXPECT_GE(textContrast(combo, arrow.adjusted(3, 3, -3, -3)), 3.0) << name;
    }
}

TEST_F(Form4Startup, LayoutMatchesTheDesign)
{
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KESTRIX"));
    EXPECT_EQ(form->size(), QSize(416, 435));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowIcon().isNull());

    EXPECT_EQ(form->Frame3->geometry(), QRect(8, 8, 289, 417));
    EXPECT_EQ(form->Frame1->geometry(), QRect(304, 16, 105, 417));
    EXPECT_EQ(form->Frame2->geometry(), QRect(8, 8, 89, 401));
    EXPECT_EQ(form->Text(14)->geometry(), QRect(240, 16, 41, 19));
    EXPECT_EQ(form->Text(9)->geometry(), QRect(160, 240, 121, 19));
    EXPECT_EQ(form->Text(13)->geometry(), QRect(8, 360, 273, 49));
    EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(form->Text(13)));
    EXPECT_EQ(form->Text(13)->parentWidget(), form->Frame3);

    const std::vector<std::pair<QToolButton*, QString>> buttons = {
        {form->Command4, "Add"},    {form->Command1, "Save"},  {form->Command7, "Edit"}, {form->Command2, "Delete"},
        {form->Command5, "Search"}, {form->Command6, "About"}, {form->Command3, "Exit"}};
    int top = 8;
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->geometry(), QRect(16, top, 57, 49)) << caption.toStdString();
        EXPECT_EQ(button->parentWidget(), form->Frame2);
        EXPECT_FALSE(button->icon().pixmap(QSize(24, 24)).isNull());
        top += 56;
    }

    auto* contactLabel = form->findChild<QLabel*>(QStringLiteral("Label2"));
    ASSERT_NE(contactLabel, nullptr);
    EXPECT_EQ(contactLabel->text(), QStringLiteral("CONTACT NAME"));
    EXPECT_EQ(contactLabel->pos(), QPoint(8, 64));
    EXPECT_EQ(contactLabel->buddy(), form->Text(2));
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Label14"))->geometry(), QRect(192, 16, 49, 17));
}

// The Record box keeps its designed size: a five-digit number shows whole,
// its end in view without scrolling.
TEST_F(Form4Startup, RecordBoxShowsAFiveDigitNumberWhole)
{
    open();
    form->setFieldText(Field::RecordNumber, QStringLiteral("20000"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto* record = qobject_cast<QLineEdit*>(form->Text(14));
    const QImage start = record->grab().toImage();
    record->end(false);
    EXPECT_EQ(record->grab().toImage(), start);
}

TEST_F(Form4Startup, TabOrderAndFirstFocus)
{
    open();
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Command5);
    // Drawn with its focus mark before any key is pressed.
    QStyleOptionToolButton search;
    search.initFrom(form->Command5);
    EXPECT_TRUE(search.state & QStyle::State_KeyboardFocusChange);

    form->unlockEditor();
    QStringList visited;
    QWidget* current = form->Command5;
    for (int step = 0; step < 21; ++step) {
        visited << current->objectName();
        do current = current->nextInFocusChain();
        while (!(current->focusPolicy() & Qt::TabFocus) || !current->isEnabled());
    }
    EXPECT_EQ(visited,
              QString("Command5 Command4 Command3 Command2 Command1 Command6 Text14 Text13 Text2 Text1 "
                      "Text12 Text11 Text10 Text9 Text8 Text7 Text6 Text5 Text4 Text3 Command7")
                  .split(QLatin1Char(' ')));
    EXPECT_EQ(current, form->Command5);
}

TEST_F(Form4Startup, ClosingTheWindowEndsTheProgramLikeExit)
{
    open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(module.WriteCounter(QStringLiteral("5")).ok());
    form->unlockEditor();
    form->close();
    EXPECT_EQ(platform.endProgramCalls, 1);
    EXPECT_TRUE(form->isLocked());
    EXPECT_EQ(folder.read(QStringLiteral("kestrec.rec")), QByteArray("\"5\"\r\n"));
}

} // namespace
} // namespace kestrix::testing
