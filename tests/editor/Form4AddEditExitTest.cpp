// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Add issues numbers from the counter file; Edit unlocks; Exit ends.
#include "windowsupport/WindowTest.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>

namespace kestrix::testing {
namespace {

class Form4AddEditExit : public WindowTest {
protected:
    QByteArray counterFile() const { return folder.read(QStringLiteral("kestrec.rec")); }
};

TEST_F(Form4AddEditExit, FirstAddEverShowsTwoAndClearsTheCard)
{
    Form4& editor = open();
    editor.show();
    QApplication::setActiveWindow(&editor);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.setFieldText(Field::CNAME, QStringLiteral("left over"));
    editor.setFieldText(Field::MEMO, QStringLiteral("memo"));

    press(editor.Command4);
    EXPECT_EQ(editor.fieldText(Field::RecordNumber), QStringLiteral("2"));
    for (Field field : kAllFields) {
        if (field == Field::RecordNumber) continue;
        EXPECT_EQ(editor.fieldText(field), QString()) << indexOf(field);
    }
    EXPECT_FALSE(editor.isLocked());
    QTRY_COMPARE(QApplication::focusWidget(), editor.Text(1));
    // On the disk at once, and still open for the next close.
    EXPECT_EQ(counterFile(), QByteArray("\"2\"\r\n"));
    EXPECT_EQ(Module1Access::slot2(module), SlotMode::Write);
    EXPECT_TRUE(platform.shown.empty());

    press(editor.Command4);
    EXPECT_EQ(editor.fieldText(Field::RecordNumber), QStringLiteral("3"));
    EXPECT_EQ(counterFile(), QByteArray("\"3\"\r\n"));
}

TEST_F(Form4AddEditExit, NumberComesFromTheCounterOrElseTheLargestStoredNumber)
{
    folder.write(QStringLiteral("kestrec.rec"), "\"41\"\r\n");
    press(open().Command4);
    EXPECT_EQ(form->fieldText(Field::RecordNumber), QStringLiteral("42"));
    EXPECT_EQ(counterFile(), QByteArray("\"42\"\r\n"));

    // With no number in the counter, no number a card holds is issued again,
    // although an update moved card 7 before 4 and 3.
    const auto addWithEmptyCounter = [&](const std::vector<CardRecord>& cards) {
        folder.write(QStringLiteral("kestrec.rec"), "");
        storeCards(cards);
        press(open().Command4);
        return form->fieldText(Field::RecordNumber);
    };
    EXPECT_EQ(addWithEmptyCounter({card("Ann", "3"), card("Bob", "9")}), QStringLiteral("10"));
    EXPECT_EQ(addWithEmptyCounter({card("Cy", "7"), card("Ann", "4"), card("Bob", "3")}), QStringLiteral("8"));
    EXPECT_EQ(addWithEmptyCounter({card("Bob", "1E400"), card("Ann", " 12abc"), card("Cy", "7")}),
              QStringLiteral("13"));
    // A number typed by hand as letters counts as 0.
    EXPECT_EQ(addWithEmptyCounter({card("Ann", "twelve")}), QStringLiteral("1"));
}

// A number one more cannot pass is never issued: it would be issued twice,
// and an update of one of the two cards would delete the other. Add says
// where the number stands and changes nothing.
TEST_F(Form4AddEditExit, NumberThatCannotBeCountedOnIsNotIssued)
{
    const std::vector<std::tuple<QByteArray, const char*, QString>> cases = {
        {"\"1E400\"\r\n", "7", QStringLiteral("File \"kestrec.rec\": it holds the number 1E400, too large")},
        {"\"1E+15\"\r\n", "7", QStringLiteral("File \"kestrec.rec\": it holds the number 1E+15, too large")},
        {"", "1E+308", QStringLiteral("File \"kest1.dat\": it holds the number 1E+308, too large")},
    };
    for (const auto& [counter, stored, told] : cases) {
        SCOPED_TRACE(told.toStdString());
        folder.write(QStringLiteral("kestrec.rec"), counter);
        storeCards({card("Ann", stored)});
        const QByteArray cards = cardFile();
        Form4& editor = open();
        editor.setFieldText(Field::RecordNumber, QStringLiteral("77"));
        platform.shown.clear();
        press(editor.Command4);
        ASSERT_EQ(platform.shown.size(), 1u);
        EXPECT_TRUE(platform.shown[0].text.startsWith(QStringLiteral("No new number was issued.")));
        EXPECT_TRUE(platform.shown[0].text.contains(told)) << platform.shown[0].text.toStdString();
        EXPECT_EQ(editor.fieldText(Field::RecordNumber), QStringLiteral("77"));
        EXPECT_TRUE(editor.isLocked());
        EXPECT_EQ(counterFile(), counter);
        EXPECT_EQ(cardFile(), cards);
    }
}

// Without the last number issued, the next could be one issued before.
TEST_F(Form4AddEditExit, CounterThatCannotBeReadIssuesNoNumber)
{
    folder.makeFolder(QStringLiteral("kestrec.rec"));
    Form4& editor = open();
    press(editor.Command4);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.startsWith(QStringLiteral("No new number was issued.")));
    EXPECT_TRUE(platform.shown[0].text.contains(QStringLiteral("\"kestrec.rec\": it is a folder")));
    EXPECT_TRUE(editor.isLocked());
    EXPECT_EQ(editor.fieldText(Field::RecordNumber), QStringLiteral("1"));
}

// The memo box shows a paragraph separator, a lone CR and the noncharacter
// U+FDD0 as line breaks; typing elsewhere in the memo must not change them.
TEST_F(Form4AddEditExit, TypingInTheMemoChangesOnlyWhatWasTyped)
{
    Form4& editor = open();
    const QString stored = QStringLiteral("a\u2029b\rc\ufdd0d\ne\u00a0\u2028");
    editor.setFieldText(Field::MEMO, stored);
    EXPECT_EQ(editor.fieldText(Field::MEMO), stored);
    press(editor.Command7);
    QWidget* memo = editor.Text(13);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(memo, QStringLiteral("X"));
    QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(memo, QStringLiteral("Y"));
    EXPECT_EQ(editor.fieldText(Field::MEMO), QStringLiteral("Y") + stored + QStringLiteral("X"));
    // Typed and taken back again: as stored.
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_Backspace);
    EXPECT_EQ(editor.fieldText(Field::MEMO), stored);

    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(memo, QStringLiteral("Z"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, QStringLiteral("W"));
    EXPECT_EQ(editor.fieldText(Field::MEMO), QStringLiteral("Z\nW"));

    // Every line break typed is one, Shift or not; a no-break space or a line
    // separator that comes as a character, typed or pasted, is kept as that
    // character.
    QTest::keyClick(memo, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(memo, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    for (const QString& typed :
         {QStringLiteral("V"), QStringLiteral("\u00a0"), QStringLiteral("\u2028"), QStringLiteral("U")})
        QTest::sendKeyEvent(QTest::Click, memo, Qt::Key_unknown, typed, Qt::NoModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("\u2028T\u00a0"));
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(editor.fieldText(Field::MEMO), QStringLiteral("Z\nW\n\nV\u00a0\u2028U\u2028T\u00a0"));
    EXPECT_TRUE(cardLine(editor.card()).contains("W\r\n\r\nV\xc2\xa0\xe2\x80\xa8U\xe2\x80\xa8T\xc2\xa0"));
}

TEST_F(Form4AddEditExit, AddWhileAnotherWindowHoldsTheLockIssuesNothing)
{
    folder.write(QStringLiteral("kestrec.rec"), "\"41\"\r\n");
    Form4& editor = open();
    const CardRecord shown = makeCard(QStringLiteral("Ann"), QStringLiteral("7"));
    showCard(shown);
    Module1 otherWindow(folder.path());
    const Module1::ChangeGuard held = otherWindow.lockForChange();
    module.lockPatience = std::chrono::milliseconds(20);
    press(editor.Command4);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.startsWith(QStringLiteral("No new number was issued.")));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("another Kestrix \\(process \\d+ of \\S+\\) is busy with these cards"))
            .match(platform.shown[0].text)
            .hasMatch());
    EXPECT_TRUE(platform.shown[0].text.contains(QStringLiteral("Try again in a moment.")));
    EXPECT_EQ(editor.card(), shown);
    EXPECT_TRUE(editor.isLocked());
    EXPECT_EQ(counterFile(), QByteArray("\"41\"\r\n"));
}

TEST_F(Form4AddEditExit, EditUnlocksWithoutTouchingTheCardAndExitEnds)
{
    Form4& editor = open();
    editor.setFieldText(Field::CCNAME, QStringLiteral("Ann"));
    press(editor.Command7);
    EXPECT_FALSE(editor.isLocked());
    EXPECT_EQ(editor.fieldText(Field::CCNAME), QStringLiteral("Ann"));

    editor.show();
    press(editor.Command4);
    press(editor.Command3);
    EXPECT_TRUE(editor.isLocked());
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(platform.endProgramCalls, 1);
    // The number Add issued is on the disk before the program's end closes the file.
    EXPECT_EQ(counterFile(), QByteArray("\"2\"\r\n"));
}

} // namespace
} // namespace kestrix::testing
