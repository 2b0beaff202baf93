// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/CardGenerator.h"
#include "sync/SyncPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Kind = SyncAction::Kind;

struct ServerCard {
    QString etag;
    CardKey key;
};
using ServerModel = std::map<QString, ServerCard>;

// Both sides some time after a sync, and what was done to each since.
struct SyncWorld {
    SyncState state;
    std::vector<LocalCard> local;
    ServerModel server;
    std::vector<bool> localUnchanged;  // by local index
    std::set<QString> serverUnchanged; // hrefs
    // Every version either side should hold after the sync, once: those
    // made since, and those neither side touched.
    std::vector<CardKey> expected;
};

class WorldMaker {
public:
    explicit WorldMaker(unsigned seed) : random_(seed) {}

    SyncWorld make();

private:
    bool chance(int percent) { return std::uniform_int_distribution(0, 99)(random_) < percent; }
    int below(int n) { return std::uniform_int_distribution(0, n - 1)(random_); }
    CardKey freshKey() { return CardKey{random_(), random_()}; }
    // Unchanged, changed or deleted.
    int fate() { return chance(60) ? 0 : (chance(50) ? 1 : 2); }
    void changeEntry(SyncWorld& world, const SyncedCard& entry, int localFate, int serverFate);
    void addNewCards(SyncWorld& world);

    std::mt19937_64 random_;
};

void WorldMaker::changeEntry(SyncWorld& world, const SyncedCard& entry, int localFate, int serverFate)
{
    if (localFate == 0) {
        world.local.push_back(LocalCard{entry.number, entry.key});
        world.localUnchanged.push_back(true);
    }
    if (localFate == 1) {
        world.local.push_back(LocalCard{entry.number, freshKey()});
        world.localUnchanged.push_back(false);
        world.expected.push_back(world.local.back().key);
    }
    if (serverFate == 0) {
        world.server[entry.href] = ServerCard{entry.etag, entry.key};
        world.serverUnchanged.insert(entry.href);
    }
    if (serverFate == 1) {
        world.server[entry.href] = ServerCard{entry.etag + QStringLiteral("+"), freshKey()};
        world.expected.push_back(world.server[entry.href].key);
    }
    if (localFate == 0 && serverFate == 0) world.expected.push_back(entry.key);
}

void WorldMaker::addNewCards(SyncWorld& world)
{
    for (int i = below(5); i > 0; --i) {
        // Now and then a number the file holds already, as a hand edit leaves it.
        const bool shared = !world.state.cards.empty() && chance(30);
        const QString number =
            shared ? world.state.cards[below(int(world.state.cards.size()))].number : QString::number(1000 + i);
        world.local.push_back(LocalCard{number, freshKey()});
        world.localUnchanged.push_back(false);
        world.expected.push_back(world.local.back().key);
    }
    for (int i = below(5); i > 0; --i) {
        const QString href = QStringLiteral("/server-%1.vcf").arg(i);
        world.server[href] = ServerCard{QStringLiteral("s%1").arg(i), freshKey()};
        world.expected.push_back(world.server[href].key);
    }
}

SyncWorld WorldMaker::make()
{
    SyncWorld world;
    world.state.addressBook = QStringLiteral("https://dav.example/book/");
    const int count = below(30);
    for (int i = 0; i < count; ++i) {
        // Cards that shared a number when they were synced share it still.
        const QString number = i > 0 && chance(10) ? world.state.cards[below(i)].number : QString::number(i + 1);
        world.state.cards.push_back(SyncedCard{number, QStringLiteral("/c-%1.vcf").arg(i), QStringLiteral("e%1").arg(i),
                                               QStringLiteral("uid-%1").arg(i), freshKey()});
    }
    for (const SyncedCard& entry : world.state.cards) changeEntry(world, entry, fate(), fate());
    addNewCards(world);
    // The card file's order is its own, not the state's.
    std::vector<std::pair<LocalCard, bool>> cards;
    for (size_t i = 0; i < world.local.size(); ++i) cards.emplace_back(world.local[i], world.localUnchanged[i]);
    std::shuffle(cards.begin(), cards.end(), random_);
    for (size_t i = 0; i < cards.size(); ++i) {
        world.local[i] = cards[i].first;
        world.localUnchanged[i] = cards[i].second;
    }
    return world;
}

ServerListing listingOf(const ServerModel& server)
{
    ServerListing listing;
    for (const auto& [href, card] : server) listing[href] = card.etag;
    return listing;
}

bool claimsListedHref(Kind kind)
{
    return kind != Kind::PushNew && kind != Kind::DeleteLocal && kind != Kind::Forget;
}

// Every entry, local card and listed href in exactly one action; nothing
// unchanged sent anywhere, nothing changed deleted.
void checkPlan(const SyncWorld& world, const std::vector<SyncAction>& plan)
{
    std::vector<int> entryUses(world.state.cards.size()), localUses(world.local.size());
    std::map<QString, int> hrefUses;
    for (const SyncAction& action : plan) {
        if (action.stateIndex) ++entryUses.at(*action.stateIndex);
        if (action.localIndex) ++localUses.at(*action.localIndex);
        if (claimsListedHref(action.kind)) ++hrefUses[action.href];
        const bool localSame = action.localIndex && world.localUnchanged[*action.localIndex];
        const bool serverSame = world.serverUnchanged.contains(action.href) && claimsListedHref(action.kind);
        const Kind k = action.kind;
        EXPECT_FALSE(localSame && (k == Kind::Push || k == Kind::PushNew || k == Kind::Conflict)) << nameOf(k);
        EXPECT_FALSE(serverSame && (k == Kind::Pull || k == Kind::PullNew || k == Kind::Conflict)) << nameOf(k);
        EXPECT_TRUE(k != Kind::DeleteLocal || localSame);
        EXPECT_TRUE(k != Kind::DeleteRemote || serverSame);
    }
    for (const int uses : entryUses) EXPECT_EQ(uses, 1);
    for (const int uses : localUses) EXPECT_EQ(uses, 1);
    for (const auto& [href, card] : world.server) EXPECT_EQ(hrefUses[href], 1) << href.toStdString();
    EXPECT_EQ(hrefUses.size(), world.server.size());
}

// The engine, on both sides in memory: the sides and the state after the plan.
class ModelEngine {
public:
    explicit ModelEngine(const SyncWorld& world)
        : world_(world), local_(world.local.begin(), world.local.end()), server_(world.server)
    {
        next_.addressBook = world.state.addressBook;
    }
    void apply(const SyncAction& action);
    SyncState next() const { return next_; }
    ServerModel server() const { return server_; }
    std::vector<LocalCard> local() const;

private:
    void remember(const QString& number, const QString& href, const ServerCard& card)
    {
        next_.cards.push_back(SyncedCard{number, href, card.etag, QStringLiteral("uid") + href, card.key});
    }
    // PUT to a new href; the server gives it an ETag.
    QString putNew(const CardKey& key)
    {
        const QString href = QStringLiteral("/new-%1.vcf").arg(++made_);
        server_[href] = ServerCard{QStringLiteral("n%1").arg(made_), key};
        return href;
    }
    QString freshNumber() { return QString::number(100000 + ++made_); }

    const SyncWorld& world_;
    std::vector<std::optional<LocalCard>> local_;
    ServerModel server_;
    SyncState next_;
    int made_ = 0;
};

void ModelEngine::apply(const SyncAction& a)
{
    const SyncedCard* entry = a.stateIndex ? &world_.state.cards[*a.stateIndex] : nullptr;
    switch (a.kind) {
    case Kind::Nothing:
        remember(a.number, a.href, server_.at(a.href));
        break;
    case Kind::PushNew: {
        const QString href = putNew(a.localKey);
        remember(a.number, href, server_[href]);
        break;
    }
    case Kind::Push:
        EXPECT_EQ(server_.at(a.href).etag, entry->etag); // If-Match
        server_[a.href] = ServerCard{entry->etag + QStringLiteral("p"), a.localKey};
        remember(a.number, a.href, server_[a.href]);
        break;
    case Kind::Pull:
        local_.at(*a.localIndex)->key = server_.at(a.href).key;
        remember(a.number, a.href, server_.at(a.href));
        break;
    case Kind::PullNew:
    case Kind::Conflict: {
        const QString number = freshNumber();
        local_.push_back(LocalCard{number, server_.at(a.href).key});
        remember(number, a.href, server_.at(a.href));
        if (a.kind == Kind::Conflict) {
            const QString href = putNew(a.localKey);
            remember(a.number, href, server_[href]);
        }
        break;
    }
    case Kind::DeleteLocal:
        local_.at(*a.localIndex).reset();
        break;
    case Kind::DeleteRemote:
        EXPECT_EQ(server_.at(a.href).etag, entry->etag); // If-Match
        server_.erase(a.href);
        break;
    case Kind::Forget:
        break;
    }
}

std::vector<LocalCard> ModelEngine::local() const
{
    std::vector<LocalCard> cards;
    for (const auto& card : local_)
        if (card) cards.push_back(*card);
    return cards;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> sortedKeys(std::vector<CardKey> keys)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pairs;
    for (const CardKey& key : keys) pairs.emplace_back(key.first, key.second);
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

void checkOutcome(const SyncWorld& world, const ModelEngine& engine)
{
    std::vector<CardKey> localKeys, serverKeys;
    for (const LocalCard& card : engine.local()) localKeys.push_back(card.key);
    for (const auto& [href, card] : engine.server()) serverKeys.push_back(card.key);
    const auto expected = sortedKeys(world.expected);
    EXPECT_EQ(sortedKeys(localKeys), expected);
    EXPECT_EQ(sortedKeys(serverKeys), expected);

    const std::vector<SyncAction> again = planSync(engine.next(), engine.local(), listingOf(engine.server()));
    for (const SyncAction& action : again) EXPECT_EQ(action.kind, Kind::Nothing) << nameOf(action.kind);
    EXPECT_EQ(again.size(), engine.next().cards.size());
}

// Random states and random changes on both sides, cards sharing numbers
// among them: the plan, carried out on both sides, leaves each holding
// every version made since and every one untouched, once, and nothing
// deleted or replaced; a second plan then has nothing to do.
TEST(SyncPlan, CarriedOutItLeavesBothSidesAlike)
{
    const unsigned seed = seedFrom("KESTRIX_SYNC_SEED", "sync plan");
    WorldMaker maker(seed);
    for (int round = 0; round < 400 && !HasFailure(); ++round) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << ", round " << round);
        const SyncWorld world = maker.make();
        const std::vector<SyncAction> plan = planSync(world.state, world.local, listingOf(world.server));
        checkPlan(world, plan);
        EXPECT_EQ(plan, planSync(world.state, world.local, listingOf(world.server)));
        ModelEngine engine(world);
        for (const SyncAction& action : plan) engine.apply(action);
        checkOutcome(world, engine);
    }
}

} // namespace
