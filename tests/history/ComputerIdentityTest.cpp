// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/ComputerIdentity.h"
#include "support/TempFolder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace kestrix::testing {

TEST(ComputerIdentity, MadeOnceAndKept)
{
    TempFolder home;
    const QString folder = home.pathOf(QStringLiteral("state/kestrix"));
    Computer first, again;
    ASSERT_TRUE(thisComputer(folder, first).ok());
    EXPECT_EQ(first.id.size(), 32);
    EXPECT_TRUE(first.label.contains(QLatin1Char('@')));
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup), 0);
    ASSERT_TRUE(thisComputer(folder, again).ok());
    EXPECT_EQ(again.id, first.id);

    // Another user's home is another computer.
    TempFolder other;
    Computer elsewhere;
    ASSERT_TRUE(thisComputer(other.path(), elsewhere).ok());
    EXPECT_NE(elsewhere.id, first.id);

    // What is not an identity is replaced; the new one is kept from then on.
    home.write(QStringLiteral("state/kestrix/computer"), "id 12345\n");
    Computer remade;
    ASSERT_TRUE(thisComputer(folder, remade).ok());
    EXPECT_NE(remade.id, first.id);
    ASSERT_TRUE(thisComputer(folder, again).ok());
    EXPECT_EQ(again.id, remade.id);
}

TEST(ComputerIdentity, KeptInTheUsersStateFolder)
{
    qputenv("XDG_STATE_HOME", "/somewhere/state");
    EXPECT_EQ(defaultStateFolder(), QStringLiteral("/somewhere/state/kestrix"));
    // A relative one is not to be used, as the base directory rules say.
    qputenv("XDG_STATE_HOME", "state");
    EXPECT_TRUE(defaultStateFolder().endsWith(QStringLiteral("/.local/state/kestrix")));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(defaultStateFolder().endsWith(QStringLiteral("/.local/state/kestrix")));
}

} // namespace kestrix::testing
