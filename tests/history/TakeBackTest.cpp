// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/TakeBack.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrix::testing {

// Any change, taken back right after it, gives the file back byte for byte;
// a file changed since is not mistaken for the one the change left.
TEST(TakeBack, GivesTheFileBackByteForByte)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    const auto chance = [&](int percent) { return std::uniform_int_distribution<int>(1, 100)(random) <= percent; };
    const auto someCard = [&](int n) { return "\"card " + QByteArray::number(n) + (chance(20) ? "\"\n" : "\"\r\n"); };
    for (int round = 0; round < 500; ++round) {
        QByteArray before, after;
        ChangeRecord change;
        for (int n = std::uniform_int_distribution<int>(0, 8)(random); n > 0; --n) {
            while (chance(25)) {
                change.added.push_back({after.size(), someCard(1000 + round)});
                after += change.added.back().bytes;
            }
            const QByteArray card = someCard(n);
            if (chance(30)) {
                change.removed.push_back({before.size(), card});
            } else {
                after += card;
            }
            before += card;
        }
        if (chance(30)) {
            change.added.push_back({after.size(), someCard(2000 + round)});
            after += change.added.back().bytes;
        }
        std::shuffle(change.added.begin(), change.added.end(), random);
        QByteArray taken;
        ASSERT_TRUE(takeBack(after, change, taken)) << "round " << round;
        ASSERT_EQ(taken, before) << "round " << round;

        if (!change.added.empty()) {
            QByteArray changed = after;
            changed[change.added.front().offset] = '#';
            EXPECT_FALSE(takeBack(changed, change, taken)) << "round " << round;
        }
        EXPECT_FALSE(takeBack(after + "\"late\"\r\n", change, taken) && taken == before) << "round " << round;
    }
}

} // namespace kestrix::testing
