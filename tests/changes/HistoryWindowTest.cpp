// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The way back from the window: the menu's undo, named for what it takes
// back, and the history window bringing back the cards of an older change.
#include "changes/HistoryWindow.h"
#include "files/FileStatus.h"
#include "windowsupport/WindowTest.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace kestrix::testing {
namespace {

class HistoryWindowTest : public WindowTest {
protected:
    // Opens the editor's menu by keys and picks the entry named `name`;
    // returns the entry's text, empty where it was not offered.
    QString pickFromMenu(const QString& name)
    {
        QString text;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions())
                if (action->objectName() == name && action->isEnabled()) {
                    text = action->text();
                    action->trigger();
                }
            menu->close();
        });
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : form.get(), Qt::Key_F10, Qt::ShiftModifier);
        return text;
    }
};

TEST_F(HistoryWindowTest, DeleteUndoneFromTheMenuAndRestoredFromTheHistory)
{
    std::vector<CardRecord> cards;
    for (const char* number : {"1", "2", "3", "4", "5", "6", "7"}) {
        CardRecord company = card("", number);
        company[indexOf(Field::CNAME)] = QStringLiteral("Firm %1").arg(QLatin1String(number));
        cards.push_back(company);
    }
    cards.push_back(card("Bob", "8"));
    storeCards(cards);
    const QByteArray before = cardFile();
    Form4& editor = open();
    editor.show();
    QApplication::setActiveWindow(&editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isActiveWindow(); }));

    showCard(cards[2]);
    press(editor.Command2);
    EXPECT_EQ(storedCards(), QStringList{QStringLiteral("Bob/8")});
    EXPECT_EQ(pickFromMenu(QStringLiteral("UndoChange")), QStringLiteral("Undo Delete of \"\" (7 cards)"));
    EXPECT_EQ(cardFile(), before);
    EXPECT_TRUE(platform.shown.back().text.startsWith(QStringLiteral("Undid Delete of \"\" (7 cards) from ")));
    EXPECT_EQ(pickFromMenu(QStringLiteral("UndoChange")), QString()) << "an undo is not offered for undoing";

    // Deleted three changes ago, with two later changes kept.
    press(editor.Command2);
    showCard(cards[7]);
    press(editor.Command2);
    ASSERT_TRUE(module.AppendCard(card("Cy", "9")).ok());
    pickFromMenu(QStringLiteral("ShowHistory"));
    auto* window = editor.findChild<HistoryWindow*>();
    ASSERT_TRUE(window && window->isVisible());
    ASSERT_GE(window->Changes->topLevelItemCount(), 3);
    EXPECT_EQ(window->Changes->topLevelItem(2)->text(2), QStringLiteral("Delete of \"\" (7 cards)"));
    window->Changes->setCurrentItem(window->Changes->topLevelItem(2));
    EXPECT_EQ(window->Cards->topLevelItemCount(), 7);
    window->Restore->click();
    EXPECT_EQ(platform.shown.back().text, QStringLiteral("Restored 7 cards of Delete of \"\" (7 cards)."));
    EXPECT_EQ(storedCards(), (QStringList{"Cy/9", "/1", "/2", "/3", "/4", "/5", "/6", "/7"}));
    EXPECT_EQ(window->Changes->topLevelItem(0)->text(2), QStringLiteral("Restore of Delete of \"\" (7 cards)"));
    const QByteArray restored = cardFile();
    window->Restore->click(); // the same change, still chosen
    EXPECT_TRUE(platform.shown.back().text.startsWith(QStringLiteral("Nothing was restored.")));
    EXPECT_EQ(cardFile(), restored);

    window->Changes->setCurrentItem(window->Changes->topLevelItem(0));
    window->UndoThis->click(); // the restore itself
    EXPECT_EQ(storedCards(), QStringList{"Cy/9"});
}

} // namespace
} // namespace kestrix::testing
