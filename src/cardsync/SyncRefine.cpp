// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SyncRefine.h"

#include "VCardUid.h"
#include "carddav/DavHref.h"
#include "formats/CardExchange.h"
#include "formats/VCardMerge.h"
#include "formats/VCardReader.h"

#include <QUuid>

#include <optional>
#include <tuple>

namespace kestrix {

namespace {

using Kind = SyncAction::Kind;
using LocalStep = SyncWork::LocalStep;
using ServerStep = SyncWork::ServerStep;

struct KeyOrder {
    bool operator()(const CardKey& a, const CardKey& b) const
    {
        return std::tie(a.first, a.second) < std::tie(b.first, b.second);
    }
};

// A member fetched, read as a card.
struct ServerCard {
    QString href;
    QString etag;
    const QByteArray* vcard = nullptr;
    CardRecord card;
    CardKey key;
    QString uid;
};

class Refiner {
public:
    Refiner(const std::map<QString, SyncedCard>& entries, const LocalCards& local,
            const std::map<QString, ServerVCard>& fetched, const QUrl& addressBook, std::set<QString> hrefsTaken)
        : entries_(entries), local_(local), fetched_(fetched), folder_(addressBook), taken_(std::move(hrefsTaken))
    {
        if (!folder_.path().endsWith(QLatin1Char('/'))) folder_.setPath(folder_.path() + QLatin1Char('/'));
    }

    SyncWork run(const std::vector<SyncAction>& actions)
    {
        // A card new here may be the one the server sends as new: met by
        // its boxes, they are paired rather than each copied to the other.
        for (const SyncAction& action : actions)
            if (action.kind == Kind::PushNew) unpaired_.emplace(action.localKey, *action.localIndex);
        for (const SyncAction& action : actions) step(action);
        for (const auto& [key, index] : unpaired_) pushNew(index);
        for (const size_t index : displaced_) pushNew(index);
        return std::move(work_);
    }

private:
    void step(const SyncAction& action)
    {
        switch (action.kind) {
        case Kind::Nothing:
        case Kind::PushNew:
            return;
        case Kind::Forget:
            work_.forgotten.insert(action.href);
            return;
        case Kind::DeleteLocal:
            work_.localSteps.push_back(
                {LocalStep::Kind::Delete, work_.changes.deletions.size(), entries_.at(action.href), {}});
            work_.changes.deletions.push_back({action.number, action.localKey});
            return;
        case Kind::DeleteRemote: {
            const SyncedCard& entry = entries_.at(action.href);
            work_.serverSteps.push_back({ServerStep::Kind::Delete, action.href, entry.etag, {}, entry});
            return;
        }
        default:
            break;
        }
        const std::optional<ServerCard> server = serverCard(action.href);
        if (!server) return;
        if (action.kind == Kind::PullNew) {
            pullNew(*server);
        } else if (action.kind == Kind::Pull) {
            pull(action, *server);
        } else if (action.kind == Kind::Push && server->etag == entries_.at(action.href).etag) {
            pushOver(action, *server);
        } else {
            bothChanged(action, *server); // a Conflict, or a Push the server overtook since the listing
        }
    }

    std::optional<ServerCard> serverCard(const QString& href)
    {
        const auto found = fetched_.find(href);
        if (found == fetched_.end()) {
            ++work_.leftForNext; // gone since the listing
            return std::nullopt;
        }
        ImportResult read = readVCards(found->second.data);
        if (read.cards.empty()) {
            ++work_.unreadable;
            return std::nullopt;
        }
        ServerCard server{href, found->second.etag, &found->second.data, std::move(read.cards.front()), {}, {}};
        server.key = CardKeySet::keyOfText(server.card, scratch_);
        server.uid = uidOf(found->second.data);
        return server;
    }

    SyncedCard entryOf(const QString& number, const ServerCard& server, const CardKey& key) const
    {
        return SyncedCard{number, server.href, server.etag, server.uid, key};
    }

    void pull(const SyncAction& action, const ServerCard& server)
    {
        // The same boxes: what changed is only what the desk cannot show.
        if (server.key == action.localKey) {
            work_.agreed[server.href] = entryOf(action.number, server, action.localKey);
            return;
        }
        CardRecord card = server.card;
        card[indexOf(Field::RecordNumber)] = action.number;
        work_.localSteps.push_back({LocalStep::Kind::Replace,
                                    work_.changes.replacements.size(),
                                    entryOf(action.number, server, server.key),
                                    {}});
        work_.changes.replacements.push_back({action.number, action.localKey, std::move(card)});
    }

    void pullNew(const ServerCard& server)
    {
        if (const std::optional<size_t> paired = takeUnpaired(server.key)) {
            work_.agreed[server.href] = entryOf(local_.keys[*paired].number, server, server.key);
            return;
        }
        work_.localSteps.push_back(
            {LocalStep::Kind::Add, work_.changes.additions.size(), entryOf({}, server, server.key), {}});
        work_.changes.additions.push_back(server.card);
    }

    // Changed here, and on the server since the last sync.
    void bothChanged(const SyncAction& action, const ServerCard& server)
    {
        const SyncedCard& entry = entries_.at(action.href);
        if (server.key == action.localKey) {
            work_.agreed[server.href] = entryOf(action.number, server, action.localKey);
        } else if (server.key == entry.key) {
            pushOver(action, server); // the phone changed no box: the desk's change goes on top
        } else if (const std::optional<size_t> paired = takeUnpaired(server.key)) {
            // Its server version is here already, from a sync cut short.
            work_.agreed[server.href] = entryOf(local_.keys[*paired].number, server, server.key);
            displaced_.push_back(*action.localIndex);
        } else {
            work_.localSteps.push_back(
                {LocalStep::Kind::Add, work_.changes.additions.size(), entryOf({}, server, server.key), action.number});
            work_.changes.additions.push_back(server.card);
            displaced_.push_back(*action.localIndex);
        }
    }

    void pushOver(const SyncAction& action, const ServerCard& server)
    {
        const CardRecord& card = local_.cards[*action.localIndex];
        QByteArray merged = mergeCardIntoVCard(*server.vcard, card, versionOf(*server.vcard));
        if (merged == *server.vcard) {
            work_.agreed[server.href] = entryOf(action.number, server, action.localKey);
            return;
        }
        SyncedCard entry = entryOf(action.number, server, action.localKey);
        entry.etag.clear();
        work_.serverSteps.push_back({ServerStep::Kind::Put, server.href, server.etag, std::move(merged), entry});
    }

    void pushNew(size_t index)
    {
        const CardRecord& card = local_.cards[index];
        QByteArray vcard = writeCards({card}, ExchangeFormat::VCard3);
        QString uid = uidOf(vcard);
        QString href = hrefFor(uid);
        // Two cards of one number and contact, or a card kept twice, would
        // share their UID, which a server keeps one card under.
        if (uid.isEmpty() || taken_.contains(href)) {
            uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            vcard = withUid(vcard, uid);
            href = hrefFor(uid);
        }
        taken_.insert(href);
        const LocalCard& key = local_.keys[index];
        work_.serverSteps.push_back(
            {ServerStep::Kind::PutNew, href, {}, std::move(vcard), SyncedCard{key.number, href, {}, uid, key.key}});
    }

    QString hrefFor(const QString& uid) const
    {
        return hrefKey(
            folder_.resolved(QUrl(QString::fromLatin1(QUrl::toPercentEncoding(uid)) + QStringLiteral(".vcf"))));
    }

    std::optional<size_t> takeUnpaired(const CardKey& key)
    {
        const auto found = unpaired_.find(key);
        if (found == unpaired_.end()) return std::nullopt;
        const size_t index = found->second;
        unpaired_.erase(found);
        return index;
    }

    const std::map<QString, SyncedCard>& entries_;
    const LocalCards& local_;
    const std::map<QString, ServerVCard>& fetched_;
    QUrl folder_;
    std::set<QString> taken_;
    std::multimap<CardKey, size_t, KeyOrder> unpaired_;
    std::vector<size_t> displaced_;
    CardKeySet::TextKey scratch_;
    SyncWork work_;
};

} // namespace

SyncWork refineSync(const std::vector<SyncAction>& actions, const std::map<QString, SyncedCard>& entries,
                    const LocalCards& local, const std::map<QString, ServerVCard>& fetched, const QUrl& addressBook,
                    const std::set<QString>& hrefsTaken)
{
    return Refiner(entries, local, fetched, addressBook, hrefsTaken).run(actions);
}

} // namespace kestrix
