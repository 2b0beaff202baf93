// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Cards in and out from the window: its menu, reached by mouse and by keys,
// imports, exports and copies; files dropped on it come in. None of it
// changes the card on screen.
#include "windowsupport/WindowTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace kestrix::testing {
namespace {

const QByteArray kContacts = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Nowak\r\nORG:Blue Harbor\r\n"
                             "TEL;TYPE=WORK,VOICE:555-0142\r\nTITLE:Buyer\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Photo Person\r\n"
                             "PHOTO;ENCODING=b;TYPE=JPEG:QUJD\r\nEND:VCARD\r\n";

class Form4Exchange : public WindowTest {
protected:
    // The entries of the menu the keys or the mouse open, closed again.
    QStringList menuOpenedBy(const std::function<void()>& open)
    {
        QStringList entries;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (const QAction* action : menu->actions())
                if (!action->isSeparator()) entries << action->text().remove(QLatin1Char('&'));
            menu->close();
        });
        open();
        return entries;
    }

    void drop(const QStringList& files)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        const QPointF at = form->rect().center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        accepted = enter.isAccepted();
        if (!accepted) return;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &dropped);
        QTest::qWait(50);
    }

    bool accepted = false;
};

TEST_F(Form4Exchange, MenuByMouseAndKeysImportsExportsAndCopiesAndDropsComeIn)
{
    storeCards({card("Ann", "1")});
    folder.write(QStringLiteral("kestrec.rec"), "\"1\"\r\n");
    folder.write(QStringLiteral("contacts.vcf"), kContacts);
    Form4& editor = open();
    editor.show();
    QApplication::setActiveWindow(&editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isActiveWindow(); }));
    showCard(card("Bob", "7"));
    const CardRecord onScreen = editor.card();

    const QStringList entries = {"Import cards…", "Export cards…", "Sync with server…", "Sync now",
                                 "Copy card",     "Undo a change", "History…"};
    EXPECT_EQ(menuOpenedBy([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); }),
              entries)
        << "Shift+F10 on a button";
    EXPECT_EQ(menuOpenedBy([&] {
                  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), editor.mapToGlobal(QPoint(5, 5)));
                  QApplication::sendEvent(&editor, &click);
              }),
              entries)
        << "the right mouse button on the locked card";
    editor.Command7->click();
    QApplication::setActiveWindow(&editor);
    editor.Text(1)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.Text(1)->hasFocus(); }));
    const QStringList inTextBox =
        menuOpenedBy([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); });
    EXPECT_TRUE(inTextBox.size() > entries.size() && inTextBox.mid(inTextBox.size() - entries.size()) == entries)
        << "Shift+F10 in a text box: " << inTextBox.join(QLatin1Char('|')).toStdString();

    // Stopped by the user, an import stores nothing.
    const QByteArray cardsBefore = cardFile();
    platform.stopAtStep = 0;
    platform.filesChosen = {folder.pathOf(QStringLiteral("contacts.vcf"))};
    editor.ImportCards_Click();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              QStringLiteral("The import of contacts.vcf was stopped: nothing was imported, the "
                             "cards are as they were."));
    EXPECT_EQ(cardFile(), cardsBefore);
    EXPECT_EQ(folder.read(QStringLiteral("kestrec.rec")), QByteArray("\"1\"\r\n"));
    platform.stopAtStep = -1;
    platform.shown.clear();
    platform.progressSteps.clear();

    platform.filesChosen = {folder.pathOf(QStringLiteral("contacts.vcf"))};
    editor.ImportCards_Click();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.startsWith(QStringLiteral("2 cards imported from contacts.vcf.\n\nNot taken "
                                                                 "whole:\ncard 2 (Photo Person): ")))
        << platform.shown[0].text.toStdString();
    EXPECT_EQ(storedCards(), QStringList({"Ann/1", "Anna Nowak/2", "Photo Person/3"}));
    EXPECT_EQ(folder.read(QStringLiteral("kestrec.rec")), QByteArray("\"3\"\r\n"));
    ASSERT_GE(platform.progressSteps.size(), 2u);
    EXPECT_TRUE(std::is_sorted(platform.progressSteps.begin(), platform.progressSteps.end() - 1));
    EXPECT_EQ(platform.progressSteps[platform.progressSteps.size() - 2], 1000);
    EXPECT_EQ(platform.progressSteps.back(), -1);

    platform.filesChosen = {folder.pathOf(QStringLiteral("out"))};
    platform.filtersChosen = {QStringLiteral("CSV, for spreadsheets (*.csv)")};
    editor.ExportCards_Click();
    EXPECT_EQ(platform.shown.back().text, QStringLiteral("3 cards exported to %1.").arg(folder.pathOf("out.csv")));
    EXPECT_EQ(folder.read(QStringLiteral("out.csv")).count('\n'), 4);

    editor.CopyCard_Click();
    EXPECT_TRUE(platform.clipboardText.startsWith(QStringLiteral("f1 of Bob\nBob\n")))
        << platform.clipboardText.toStdString();
    EXPECT_TRUE(platform.clipboardVCard.contains("\r\nFN:Bob\r\n"));

    // Dropped: contacts files come in; anything else is not taken. These
    // hold only cards already there, which are told and not added again.
    platform.shown.clear();
    folder.write(QStringLiteral("notes.txt"), "not contacts");
    drop({folder.pathOf(QStringLiteral("notes.txt"))});
    EXPECT_FALSE(accepted);
    drop({folder.pathOf(QStringLiteral("contacts.vcf")), folder.pathOf(QStringLiteral("out.csv"))});
    EXPECT_TRUE(accepted);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(platform.shown[0].text.startsWith(
        QStringLiteral("0 cards imported from contacts.vcf.\n2 cards already there, not added.\n\n")))
        << platform.shown[0].text.toStdString();
    EXPECT_TRUE(platform.shown[0].text.endsWith(
        QStringLiteral("\n\n0 cards imported from out.csv.\n3 cards already there, not added.")))
        << platform.shown[0].text.toStdString();
    EXPECT_EQ(storedCards().size(), 3);
    EXPECT_EQ(editor.card(), onScreen);
}

} // namespace
} // namespace kestrix::testing
