// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The editor window as it opens: layout, lock, and the number in "Record".
#include "card/CardLine.h"
#include "files/FileStatus.h"
#include "search/Form14.h"
#include "support/CardFiles.h"
#include "support/Module1Access.h"
#include "windowsupport/TextContrast.h"
#include "windowsupport/WindowTest.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
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
    EXPECT_EQ(Module1Access::slot1(module), SlotMode::Closed);
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
    EXPECT_TRUE(platform.shown.empty()) << "told before the window is on the screen";
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !platform.shown.empty(); }));
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

// A locked memo takes no typing either, but a long one still scrolls by the
// wheel and its text can be selected for copying.
TEST_F(Form4Startup, LockedFieldsTakeNoTyping)
{
    open();
    const QString memoText = QStringLiteral("line\n").repeated(40);
    form->setFieldText(Field::MEMO, memoText);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto* company = qobject_cast<QLineEdit*>(form->Text(1));
    auto* memo = qobject_cast<QPlainTextEdit*>(form->Text(13));
    QTest::keyClicks(company, QStringLiteral("Acme"));
    EXPECT_EQ(company->text(), QString());
    QTest::keyClicks(memo, QStringLiteral("Acme"));
    QTest::keyClick(memo, Qt::Key_Backspace);
    EXPECT_EQ(form->fieldText(Field::MEMO), memoText);

    const QPointF inside = memo->viewport()->rect().center();
    QWheelEvent wheel(inside, memo->viewport()->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(memo->viewport(), &wheel);
    EXPECT_GT(memo->verticalScrollBar()->value(), 0);
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(memo->textCursor().selectedText().size(), memoText.size());

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

// The window's design, control by control: the panel it lies on, its place
// and size in twips (15 to a pixel), and its caption. A label without a
// width sizes itself to its caption.
struct DesignedControl {
    const char* name;
    const char* panel;
    int left, top, width, height;
    const char* caption;
};

const DesignedControl kDesign[] = {
    {"Frame3", "Form4", 120, 120, 4335, 6255, nullptr},    {"Label14", "Frame3", 2880, 240, 735, 255, "Record"},
    {"Text14", "Frame3", 3600, 240, 615, 285, nullptr},    {"Label1", "Frame3", 120, 360, 0, 0, "COMPANY NAME"},
    {"Text1", "Frame3", 120, 600, 4095, 285, nullptr},     {"Label2", "Frame3", 120, 960, 0, 0, "CONTACT NAME"},
    {"Text2", "Frame3", 120, 1200, 4095, 285, nullptr},    {"Label3", "Frame3", 120, 1560, 0, 0, "ADDRESS"},
    {"Text3", "Frame3", 120, 1800, 4095, 285, nullptr},    {"Label4", "Frame3", 120, 2160, 0, 0, "ADDRESS 2"},
    {"Text4", "Frame3", 120, 2400, 4095, 285, nullptr},    {"Label5", "Frame3", 120, 2760, 0, 0, "CITY"},
    {"Label6", "Frame3", 2520, 2760, 0, 0, "ST"},          {"Label7", "Frame3", 3240, 2760, 0, 0, "ZIP"},
    {"Text5", "Frame3", 120, 3000, 2295, 285, nullptr},    {"Text6", "Frame3", 2520, 3000, 495, 285, nullptr},
    {"Text7", "Frame3", 3240, 3000, 975, 285, nullptr},    {"Label8", "Frame3", 120, 3360, 0, 0, "PHONE"},
    {"Label9", "Frame3", 2640, 3360, 0, 0, "PHONE 2"},     {"Text8", "Frame3", 120, 3600, 2175, 285, nullptr},
    {"Text9", "Frame3", 2400, 3600, 1815, 285, nullptr},   {"Label10", "Frame3", 120, 3960, 0, 0, "CELL"},
    {"Label11", "Frame3", 2400, 3960, 0, 0, "FAX"},        {"Text10", "Frame3", 120, 4200, 2175, 285, nullptr},
    {"Text11", "Frame3", 2400, 4200, 1815, 285, nullptr},  {"Label12", "Frame3", 120, 4560, 0, 0, "eMAIL"},
    {"Text12", "Frame3", 120, 4800, 4095, 285, nullptr},   {"Label13", "Frame3", 120, 5160, 735, 255, "MEMO"},
    {"Text13", "Frame3", 120, 5400, 4095, 735, nullptr},   {"Frame1", "Form4", 4560, 240, 1575, 6255, nullptr},
    {"Frame2", "Frame1", 120, 120, 1335, 6015, nullptr},   {"Command4", "Frame2", 240, 120, 855, 735, "Add"},
    {"Command1", "Frame2", 240, 960, 855, 735, "Save"},    {"Command7", "Frame2", 240, 1800, 855, 735, "Edit"},
    {"Command2", "Frame2", 240, 2640, 855, 735, "Delete"}, {"Command5", "Frame2", 240, 3480, 855, 735, "Search"},
    {"Command6", "Frame2", 240, 4320, 855, 735, "About"},  {"Command3", "Frame2", 240, 5160, 855, 735, "Exit"},
};

TEST_F(Form4Startup, LayoutMatchesTheDesign)
{
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KESTRIX"));
    EXPECT_EQ(form->size(), QSize(6240 / 15, 6525 / 15));
    EXPECT_EQ(form->minimumSize(), form->size());
    EXPECT_EQ(form->maximumWidth(), form->width());
    EXPECT_FALSE(form->windowIcon().isNull());

    const auto pixels = [](int twips) { return twips / 15; };
    for (const DesignedControl& design : kDesign) {
        SCOPED_TRACE(design.name);
        auto* control = form->findChild<QWidget*>(QLatin1String(design.name));
        ASSERT_NE(control, nullptr);
        ASSERT_NE(control->parentWidget(), nullptr);
        EXPECT_EQ(control->parentWidget()->objectName(), QLatin1String(design.panel));
        const QPoint place(pixels(design.left), pixels(design.top));
        if (design.width == 0)
            EXPECT_EQ(control->geometry(), QRect(place, control->sizeHint()));
        else
            EXPECT_EQ(control->geometry(), QRect(place, QSize(pixels(design.width), pixels(design.height))));
        if (auto* label = qobject_cast<QLabel*>(control)) {
            EXPECT_EQ(label->text(), QLatin1String(design.caption));
            const int k = QString::fromLatin1(design.name).mid(5).toInt();
            EXPECT_EQ(label->buddy(), form->Text(k));
        }
        if (auto* button = qobject_cast<QToolButton*>(control)) {
            EXPECT_EQ(button->text(), QLatin1String(design.caption));
            EXPECT_FALSE(button->icon().pixmap(QSize(24, 24)).isNull());
        }
    }
    // No label, text box or button of the window is left out of the design.
    EXPECT_EQ(form->findChildren<QLabel*>().size() + form->findChildren<QLineEdit*>().size()
                  + form->findChildren<QToolButton*>().size(),
              14 + 13 + 7);
    EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(form->Text(13)));

    // Grown taller, the window gives the height to the memo and the panels.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->resize(form->width(), form->height() + 150);
    QApplication::processEvents();
    EXPECT_EQ(form->Text(13)->geometry(), QRect(120 / 15, 5400 / 15, 4095 / 15, 735 / 15 + 150));
    EXPECT_EQ(form->Frame1->height(), 6255 / 15 + 150);
    EXPECT_EQ(form->Frame3->height(), 6255 / 15 + 150);
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

// The tab stops that follow are walked, key by key, with what a screen
// reader announces, in KeyboardAndScreenReader.EditorTabOrderAndNames.
TEST_F(Form4Startup, FirstFocusIsSearchWithItsFocusMark)
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
