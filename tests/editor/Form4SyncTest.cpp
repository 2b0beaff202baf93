// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Syncing from the window's menu: which account it syncs with, and what the
// user is told when the server is not there.
#include "editor/SyncAccountDialog.h"
#include "windowsupport/WindowTest.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace kestrix::testing {
namespace {

class Form4Sync : public WindowTest {
protected:
    // Hands each account dialog, once it is up and waiting, to `answer`.
    void answerAccountDialogs(const std::function<void(SyncAccountDialog&)>& answer)
    {
        auto* poll = new QTimer(form.get());
        QObject::connect(poll, &QTimer::timeout, form.get(), [answer] {
            auto* dialog = qobject_cast<SyncAccountDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->property("answered").toBool()) return;
            dialog->setProperty("answered", true);
            answer(*dialog);
        });
        poll->start(10);
    }
};

TEST_F(Form4Sync, SyncNowWithNoAccountAsksForOneAndWarnsOfAServerNotThere)
{
    storeCards({card("Ann", "1")});
    open();
    const QByteArray before = cardFile();
    int asked = 0;
    answerAccountDialogs([&](SyncAccountDialog& dialog) {
        ++asked;
        EXPECT_TRUE(dialog.server->text().isEmpty());
        EXPECT_TRUE(dialog.server->hasFocus());
        QPushButton* ok = dialog.buttons->button(QDialogButtonBox::Ok);
        EXPECT_FALSE(ok->isEnabled()) << "nothing to sync with";
        if (asked == 1) {
            dialog.reject();
            return;
        }
        QTest::keyClicks(dialog.server, QStringLiteral("http://127.0.0.1:1/"));
        QTest::keyClicks(dialog.user, QStringLiteral("ann"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });

    form->SyncNow_Click();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(platform.shown.empty()) << "a cancelled dialog syncs nothing and tells nothing";

    form->SyncNow_Click();
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(platform.shown.size(), 1u) << shownTexts().join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(platform.shown[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(platform.shown[0].text.contains(QStringLiteral("Nothing answers at http://127.0.0.1:1")))
        << platform.shown[0].text.toStdString();
    EXPECT_EQ(cardFile(), before);
}

} // namespace
} // namespace kestrix::testing
