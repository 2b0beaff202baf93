// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "editor/EditorMessages.h"
#include "editor/Form4.h"
#include "files/FileStatus.h"
#include "search/Form14.h"
#include "support/CardFiles.h"
#include "support/Module1Access.h"
#include "support/TempFolder.h"
#include "windowsupport/ScriptedPlatform.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace kestrix::testing {

// makeCard for the sample cards the editor tests write as plain literals.
inline CardRecord card(const char* contact, const char* number)
{
    return makeCard(QLatin1String(contact), QLatin1String(number));
}

// A real editor window in a fresh working directory, with the scripted
// platform standing in for the desktop: what every window's test starts
// from, the search and about windows being opened from the editor.
class WindowTest : public ::testing::Test {
protected:
    // A new editor, loaded from the folder as it is now; it replaces the last.
    Form4& open()
    {
        form = std::make_unique<Form4>(module, platform);
        return *form;
    }

    // A new editor shown, once what its start noticed was told over it.
    Form4& openShown()
    {
        open();
        form->show();
        QTest::qWait(1);
        return *form;
    }

    // Makes the editor the active window and presses Search: the search
    // window once its list has the focus, or null.
    Form14* pressSearch()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
        if (!QTest::qWaitFor([&] { return form->isActiveWindow(); })) return nullptr;
        form->Command5->click();
        search = form->findChild<Form14*>();
        if (!search || !QTest::qWaitFor([&] { return search->Combo1->hasFocus(); })) return nullptr;
        return search;
    }

    void press(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    void storeCards(const std::vector<CardRecord>& cards)
    {
        QByteArray bytes;
        for (const CardRecord& card : cards) bytes += cardLine(card);
        folder.write(QStringLiteral("kest1.dat"), bytes);
    }

    QByteArray cardFile() const { return folder.read(QStringLiteral("kest1.dat")); }

    // "contact/number" of every stored card, in file order.
    QStringList storedCards() const
    {
        QStringList cards;
        for (const ScannedCard& card : scanCards(cardFile()))
            cards << card.fields[indexOf(Field::CCNAME)] + QLatin1Char('/') + card.fields[indexOf(Field::RecordNumber)];
        return cards;
    }

    void showCard(const CardRecord& card) { form->showCard(card); }

    // What a sync brings to the three sample cards, applied as its engine
    // does, told as a window would tell it: Ann 3 deleted, Bob 2 updated
    // and a new card.
    void applySync()
    {
        CardKeySet::TextKey scratch;
        CardRecord bob = card("Bob", "2");
        bob[indexOf(Field::CITY)] = QStringLiteral("Leeds");
        CardChanges changes;
        changes.deletions = {{QStringLiteral("3"), CardKeySet::keyOfText(card("Ann", "3"), scratch)}};
        changes.replacements = {{QStringLiteral("2"), CardKeySet::keyOfText(card("Bob", "2"), scratch), bob}};
        changes.additions = {card("Cy", "")};
        CardChangesApplied applied;
        const FileStatus status = module.ApplyCardChanges(changes, applied, QStringLiteral("dav.example"));
        platform.shown.push_back({status.ok() ? QStringLiteral("Synced with dav.example") : fileAndReason(status),
                                  MessageButtons::Ok, std::nullopt, std::nullopt});
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (const ShownMessage& message : platform.shown) texts << message.text;
        return texts;
    }

    TempFolder folder;
    Module1 module{folder.path()};
    ScriptedPlatform platform;
    std::unique_ptr<Form4> form;
    QPointer<Form14> search;
};

} // namespace kestrix::testing
