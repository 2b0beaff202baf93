// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Save appends a card or, after asking, replaces the stored cards of its
// contact; Delete removes every card of the contact shown.
#include "windowsupport/WindowTest.h"

#include "support/FileSizeLimit.h"

#include <QFile>

namespace kestrix::testing {
namespace {

const QString kUpdate = QStringLiteral("Do You wish to update?");

class Form4SaveDelete : public WindowTest {};

TEST_F(Form4SaveDelete, NewNumberIsAppendedAndLocked)
{
    Form4& editor = open();
    editor.unlockEditor();
    showCard(card("Ann", "1"));
    press(editor.Command1);
    EXPECT_EQ(cardFile(), cardLine(card("Ann", "1")));
    EXPECT_EQ(shownTexts(), QStringList{"record saved"});
    EXPECT_EQ(platform.shown[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(editor.isLocked());

    // Compared as text: 02 is not 2.
    showCard(card("Bob", "01"));
    press(editor.Command1);
    EXPECT_EQ(storedCards(), QStringList({"Ann/1", "Bob/01"}));
    EXPECT_EQ(module.RecordNumber, QStringLiteral("1"));
}

TEST_F(Form4SaveDelete, YesReplacesTheCardAskedAboutAndKeepsItsNamesakes)
{
    // The second Bob/2 is a duplicate left by answering No; it goes too.
    storeCards({card("Ann", "1"), card("Bob", "2"), card("Cy", "3"), card("Bob", "4"), card("Bob", "2")});
    Form4& editor = open();
    showCard(card("Bob", "2"));
    editor.setFieldText(Field::PHONE, QStringLiteral("555-0100"));
    platform.answers = {MessageAnswer::Yes};
    press(editor.Command1);

    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[0].text, kUpdate);
    EXPECT_EQ(platform.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_FALSE(platform.shown[0].title.has_value());
    EXPECT_EQ(platform.shown[1].text, QStringLiteral("record saved"));
    EXPECT_EQ(storedCards(), QStringList({"Ann/1", "Cy/3", "Bob/4", "Bob/2"}));
    EXPECT_TRUE(cardFile().endsWith(cardLine(editor.card())));
    EXPECT_EQ(folder.read(QStringLiteral("temp.dat")),
              cardLine(card("Ann", "1")) + cardLine(card("Cy", "3")) + cardLine(card("Bob", "4")));
    EXPECT_EQ(module.RecordNumber, QStringLiteral("2"));
    EXPECT_TRUE(editor.isLocked());

    // A new contact name under a stored number keeps the old card.
    editor.setFieldText(Field::CCNAME, QStringLiteral("Cyrus"));
    editor.setFieldText(Field::RecordNumber, QStringLiteral("3"));
    platform.answers = {MessageAnswer::Yes};
    press(editor.Command1);
    EXPECT_EQ(storedCards(), QStringList({"Ann/1", "Cy/3", "Bob/4", "Bob/2", "Cyrus/3"}));
}

TEST_F(Form4SaveDelete, NoToEveryMatchAppendsADuplicate)
{
    // Last, a card cut short inside its third field: it holds no number, and
    // the number read before it is no second match.
    storeCards({card("Ann", "2"), card("Cy", "3"), card("Bob", "2")});
    folder.write(QStringLiteral("kest1.dat"), cardFile() + "\"Eve\",\"Eve\",\"x");
    Form4& editor = open();
    showCard(card("Dee", "2"));
    platform.answers = {MessageAnswer::No, MessageAnswer::No};
    press(editor.Command1);
    EXPECT_EQ(shownTexts(), QStringList({kUpdate, kUpdate, "record saved"}));
    EXPECT_EQ(storedCards(), QStringList({"Ann/2", "Cy/3", "Bob/2", "Eve/", "Dee/2"}));
    EXPECT_EQ(module.RecordNumber, QStringLiteral("2"));
}

TEST_F(Form4SaveDelete, DoubleQuoteIsRefusedByNameAndNothingIsWritten)
{
    storeCards({card("Ann", "1")});
    Form4& editor = open();
    const char* const captions[kFieldCount] = {"COMPANY NAME", "CONTACT NAME", "ADDRESS", "ADDRESS 2", "CITY",
                                               "ST",           "ZIP",          "PHONE",   "PHONE 2",   "CELL",
                                               "FAX",          "eMAIL",        "MEMO",    "Record"};
    for (Field field : kAllFields) {
        const int i = indexOf(field);
        platform.shown.clear();
        showCard(card("Ann", "1"));
        editor.setFieldText(field, editor.fieldText(field) + QStringLiteral(" \"the boss\""));
        editor.unlockEditor();
        press(editor.Command1);
        ASSERT_EQ(platform.shown.size(), 1u) << captions[i];
        EXPECT_TRUE(platform.shown[0].text.startsWith(
            QStringLiteral("The card was not saved: the field %1 holds").arg(QLatin1String(captions[i]))))
            << platform.shown[0].text.toStdString();
        EXPECT_TRUE(platform.shown[0].text.contains(QStringLiteral("double quotes cannot be stored")));
        EXPECT_EQ(cardFile(), cardLine(card("Ann", "1")));
        EXPECT_FALSE(editor.isLocked());
        EXPECT_TRUE(editor.fieldText(field).endsWith(QStringLiteral("\"the boss\""))) << captions[i];
    }
}

TEST_F(Form4SaveDelete, FailedWritesLeaveFileAndEditorAsTheyWere)
{
    storeCards({card("Ann", "1"), card("Bob", "2")});
    const QByteArray before = cardFile();
    Form4& editor = open();
    editor.unlockEditor();
    showCard(card("Cy", "3"));
    const QString memo(100, QLatin1Char('m'));
    editor.setFieldText(Field::MEMO, memo);
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size() + 10));
        press(editor.Command1); // append path
        editor.setFieldText(Field::RecordNumber, QStringLiteral("2"));
        editor.setFieldText(Field::CCNAME, QStringLiteral("Bob"));
        platform.answers = {MessageAnswer::Yes};
        press(editor.Command1); // replace path
    }
    QFile::remove(folder.pathOf(QStringLiteral("temp.dat")));
    folder.makeFolder(QStringLiteral("temp.dat"));
    press(editor.Command2);

    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("The card was not saved.")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("\"kest1.dat\": File too large")));
    EXPECT_EQ(texts[1], kUpdate);
    EXPECT_TRUE(texts[2].startsWith(QStringLiteral("The card was not saved.")));
    EXPECT_TRUE(texts[3].startsWith(QStringLiteral("The card was not deleted.")));
    EXPECT_TRUE(texts[3].contains(QStringLiteral("\"temp.dat\"")));
    EXPECT_EQ(cardFile(), before);
    EXPECT_FALSE(editor.isLocked());
    EXPECT_EQ(editor.fieldText(Field::CCNAME), QStringLiteral("Bob"));
    EXPECT_EQ(editor.fieldText(Field::MEMO), memo);
}

TEST_F(Form4SaveDelete, DeleteRemovesEveryCardOfTheExactContact)
{
    storeCards({card("A", "1"), card("B", "2"), card("A", "3")});
    Form4& editor = open();
    showCard(card("a", "3"));
    // The message comes while the card is still shown; OK clears it.
    QStringList shownWithTheMessage;
    platform.whileShown = [&] { shownWithTheMessage << editor.fieldText(Field::CCNAME); };
    press(editor.Command2);
    EXPECT_EQ(storedCards(), QStringList({"A/1", "B/2", "A/3"}));

    editor.setFieldText(Field::CCNAME, QStringLiteral("A"));
    press(editor.Command2);
    EXPECT_EQ(shownTexts(), QStringList({"record deleted", "record deleted"}));
    EXPECT_EQ(shownWithTheMessage, QStringList({"a", "A"}));
    EXPECT_EQ(storedCards(), QStringList({"B/2"}));
    for (Field field : kAllFields) {
        if (field == Field::RecordNumber) continue;
        EXPECT_EQ(editor.fieldText(field), QString()) << indexOf(field);
    }
    EXPECT_EQ(editor.fieldText(Field::RecordNumber), QStringLiteral("3"));
    EXPECT_TRUE(editor.isLocked());
    EXPECT_EQ(module.RecordNumber, QStringLiteral("3"));

    // The only card left; its contact name is typed by hand.
    editor.unlockEditor();
    editor.setFieldText(Field::CCNAME, QStringLiteral("B"));
    press(editor.Command2);
    EXPECT_EQ(cardFile(), QByteArray());
    EXPECT_EQ(folder.read(QStringLiteral("temp.dat")), QByteArray());
    EXPECT_FALSE(editor.isLocked());
}

} // namespace
} // namespace kestrix::testing
