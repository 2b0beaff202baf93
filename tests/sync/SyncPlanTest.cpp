// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "sync/SyncPlan.h"
#include "support/CaseNames.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Kind = SyncAction::Kind;

CardKey keyNumbered(std::uint64_t n)
{
    return CardKey{n, ~n};
}

SyncedCard synced(const char* number, const char* href, const char* etag, std::uint64_t key)
{
    return SyncedCard{QLatin1String(number), QLatin1String(href), QLatin1String(etag),
                      QStringLiteral("uid-") + QLatin1String(href), keyNumbered(key)};
}

LocalCard card(const char* number, std::uint64_t key)
{
    return LocalCard{QLatin1String(number), keyNumbered(key)};
}

// "Push 5 /a; PullNew /b": what a failure shows, and a row expects.
QString described(const std::vector<SyncAction>& actions)
{
    QStringList parts;
    for (const SyncAction& action : actions) {
        QStringList words{QLatin1String(nameOf(action.kind))};
        if (!action.number.isEmpty()) words << action.number;
        if (!action.href.isEmpty()) words << action.href;
        parts << words.join(QLatin1Char(' '));
    }
    return parts.join(QStringLiteral("; "));
}

struct PlanRow {
    const char* name;
    std::vector<SyncedCard> state;
    std::vector<LocalCard> local;
    ServerListing server;
    const char* expected;
};

// A failing row is named by what it holds, not dumped as bytes.
void PrintTo(const PlanRow& row, std::ostream* out)
{
    *out << row.name;
}

const QString kA = QStringLiteral("/a"), kB = QStringLiteral("/b");
const QString kE1 = QStringLiteral("e1"), kE2 = QStringLiteral("e2");

const PlanRow kPlanRows[] = {
    {"the same on both sides", {synced("5", "/a", "e1", 1)}, {card("5", 1)}, {{kA, kE1}}, "Nothing 5 /a"},
    {"changed here", {synced("5", "/a", "e1", 1)}, {card("5", 2)}, {{kA, kE1}}, "Push 5 /a"},
    {"changed on the server", {synced("5", "/a", "e1", 1)}, {card("5", 1)}, {{kA, kE2}}, "Pull 5 /a"},
    {"changed on both sides", {synced("5", "/a", "e1", 1)}, {card("5", 2)}, {{kA, kE2}}, "Conflict 5 /a"},
    {"new here", {}, {card("7", 1)}, {}, "PushNew 7"},
    {"new on the server", {}, {}, {{kB, kE1}}, "PullNew /b"},
    {"deleted on the server", {synced("5", "/a", "e1", 1)}, {card("5", 1)}, {}, "DeleteLocal 5 /a"},
    {"deleted here", {synced("5", "/a", "e1", 1)}, {}, {{kA, kE1}}, "DeleteRemote 5 /a"},
    {"deleted on both sides", {synced("5", "/a", "e1", 1)}, {}, {}, "Forget 5 /a"},
    {"changed here, deleted on the server", {synced("5", "/a", "e1", 1)}, {card("5", 2)}, {}, "PushNew 5; Forget 5 /a"},
    {"deleted here, changed on the server", {synced("5", "/a", "e1", 1)}, {}, {{kA, kE2}}, "Forget 5 /a; PullNew /a"},
    // A card renumbered by hand is a deletion and a new card: both versions
    // are the same card, so the server ends with it once.
    {"renumbered here", {synced("5", "/a", "e1", 1)}, {card("6", 1)}, {{kA, kE1}}, "DeleteRemote 5 /a; PushNew 6"},
    {"a second card of a synced number",
     {synced("5", "/a", "e1", 1)},
     {card("5", 2), card("5", 1)},
     {{kA, kE1}},
     "PushNew 5; Nothing 5 /a"},
    {"two cards of one number, one changed",
     {synced("5", "/a", "e1", 1), synced("5", "/b", "e1", 2)},
     {card("5", 2), card("5", 3)},
     {{kA, kE1}, {kB, kE1}},
     "Push 5 /a; Nothing 5 /b"},
    // Which changed card was which cannot be told: both go up as new, and
    // the old versions, unchanged there, come off the server.
    {"two cards of one number, both changed",
     {synced("5", "/a", "e1", 1), synced("5", "/b", "e1", 2)},
     {card("5", 3), card("5", 4)},
     {{kA, kE1}, {kB, kE1}},
     "PushNew 5; PushNew 5; DeleteRemote 5 /a; DeleteRemote 5 /b"},
    {"both changed, one also on the server",
     {synced("5", "/a", "e1", 1), synced("5", "/b", "e1", 2)},
     {card("5", 3), card("5", 4)},
     {{kA, kE2}, {kB, kE1}},
     "PushNew 5; PushNew 5; Forget 5 /a; DeleteRemote 5 /b; PullNew /a"},
    {"ordered by number as a number, then href, the server's new ones last",
     {synced("10", "/c", "e1", 1), synced("9", "/b", "e1", 2), synced("9", "/a", "e1", 3)},
     {card("10", 1), card("2", 4), card("9", 2), card("9", 3)},
     {{QStringLiteral("/z"), kE1}, {QStringLiteral("/c"), kE1}, {kB, kE1}, {kA, kE1}, {QStringLiteral("/d"), kE1}},
     "PushNew 2; Nothing 9 /a; Nothing 9 /b; Nothing 10 /c; PullNew /d; PullNew /z"},
};

class SyncPlanRows : public ::testing::TestWithParam<PlanRow> {};

TEST_P(SyncPlanRows, Actions)
{
    const PlanRow& row = GetParam();
    const SyncState state{QStringLiteral("https://dav.example/book/"), {}, {}, {}, row.state};
    EXPECT_EQ(described(planSync(state, row.local, row.server)).toStdString(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(, SyncPlanRows, ::testing::ValuesIn(kPlanRows),
                         [](const auto& row) { return caseName(row.param.name); });

// A sync-collection report names only what changed: the plan is the one a
// full listing would give.
TEST(SyncPlan, AReportOfChangesPlansAsAFullListing)
{
    const SyncState state{{},
                          {},
                          {},
                          QStringLiteral("token-1"),
                          {synced("1", "/a", "e1", 1), synced("2", "/b", "e1", 2), synced("3", "/c", "e1", 3)}};
    const std::vector<LocalCard> local{card("1", 1), card("2", 2), card("3", 3)};
    const ServerChanges changes{{{kB, kE2}, {QStringLiteral("/d"), kE1}}, {QStringLiteral("/c")}};
    const ServerListing full{{kA, kE1}, {kB, kE2}, {QStringLiteral("/d"), kE1}};
    EXPECT_EQ(listingAfter(state, changes), full);
    EXPECT_EQ(planSync(state, local, changes), planSync(state, local, full));
    EXPECT_EQ(described(planSync(state, local, changes)).toStdString(),
              "Nothing 1 /a; Pull 2 /b; DeleteLocal 3 /c; PullNew /d");
}

} // namespace
