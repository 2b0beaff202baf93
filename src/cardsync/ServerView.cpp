// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "ServerView.h"

#include "carddav/CollectionListing.h"
#include "carddav/DavHref.h"
#include "carddav/ResourceFetching.h"

namespace kestrix {

namespace {

// A server answers a sync-collection it does not offer with an error
// status; one that fails every request, or sends more than we read, is no
// reason to ask it something else.
bool mayListInstead(const DavStatus& status)
{
    return !failsEveryRequest(status) && status.problem != DavProblem::TooLarge;
}

// Every page of the report, folded into one view. A truncated reply hands
// a token to ask on from; a server that keeps handing them is stopped.
DavStatus readReport(DavClient& client, const QUrl& addressBook, const QString& syncToken, ServerView& view)
{
    view = {};
    view.whole = syncToken.isEmpty();
    QString token = syncToken;
    for (int page = 0; page < 10000; ++page) {
        SyncCollectionResult result = syncCollection(client, addressBook, token);
        if (!result.status.ok()) return result.status;
        for (const DavMember& member : result.changed) {
            const QString href = hrefKey(member.href);
            view.changes.removed.erase(href);
            view.changes.changed[href] = member.etag;
        }
        for (const QUrl& url : result.removed) {
            const QString href = hrefKey(url);
            view.changes.changed.erase(href);
            view.changes.removed.insert(href);
        }
        view.syncToken = result.syncToken;
        if (!result.truncated || result.syncToken.isEmpty() || result.syncToken == token) break;
        token = result.syncToken;
    }
    if (view.whole) {
        view.listing = std::move(view.changes.changed);
        view.changes = {};
    }
    return DavStatus::success(207);
}

MultigetResult fetchOneByOne(DavClient& client, const QList<QUrl>& hrefs)
{
    MultigetResult result;
    result.status = DavStatus::success(200);
    for (const QUrl& href : hrefs) {
        FetchResult one = fetchResource(client, href);
        if (one.status.problem == DavProblem::NotFound) continue;
        if (!one.status.ok()) {
            result.status = one.status;
            break;
        }
        result.found << std::move(one.resource);
    }
    return result;
}

} // namespace

ServerView readServer(DavClient& client, const QUrl& addressBook, const QString& syncToken)
{
    ServerView view;
    DavStatus status = readReport(client, addressBook, syncToken, view);
    // A token the server has forgotten (some answer 500 rather than say so):
    // everything is compared instead.
    if (!status.ok() && !syncToken.isEmpty() && mayListInstead(status))
        status = readReport(client, addressBook, {}, view);
    if (status.ok() || !mayListInstead(status)) {
        view.status = status;
        return view;
    }
    view = {};
    MemberListing members = listMembers(client, addressBook);
    view.status = members.status;
    for (const DavMember& member : members.members) view.listing[hrefKey(member.href)] = member.etag;
    return view;
}

FetchedVCards fetchVCards(DavClient& client, const QUrl& addressBook, const QList<QString>& hrefs,
                          const std::function<void(qsizetype fetched)>& fetched)
{
    // A few hundred cards with photos stay well under the reply limit.
    constexpr qsizetype kBatch = 200;
    FetchedVCards result;
    result.status = DavStatus::success(207);
    for (qsizetype first = 0; first < hrefs.size(); first += kBatch) {
        QList<QUrl> batch;
        for (qsizetype i = first; i < std::min(hrefs.size(), first + kBatch); ++i) batch << QUrl(hrefs[i]);
        MultigetResult got = multiget(client, addressBook, batch);
        // Cards with large photos: one at a time, each under the limit.
        if (got.status.problem == DavProblem::TooLarge && batch.size() > 1) got = fetchOneByOne(client, batch);
        if (!got.status.ok()) {
            result.status = got.status;
            return result;
        }
        for (FetchedResource& resource : got.found)
            result.found[hrefKey(resource.href)] = ServerVCard{resource.etag, std::move(resource.data)};
        if (fetched) fetched(std::min(hrefs.size(), first + kBatch));
    }
    return result;
}

} // namespace kestrix
