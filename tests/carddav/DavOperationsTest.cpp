// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Discovery, listing, fetching and writing against a scripted server: the
// requests they send and what they make of answers a real server may give
// but the servers of the integration test do not.
#include "FakeDavServer.h"
#include "carddav/AddressBookDiscovery.h"
#include "carddav/CollectionListing.h"
#include "carddav/DavHref.h"
#include "carddav/ResourceFetching.h"
#include "carddav/ResourceWriting.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

DavClientSettings operationsAccount()
{
    DavClientSettings settings;
    settings.user = QStringLiteral("jo");
    settings.password = QStringLiteral("pw");
    return settings;
}

ScriptedAnswer multistatus(const QByteArray& responses)
{
    return ScriptedAnswer{207,
                          {{"Content-Type", "application/xml; charset=utf-8"}},
                          "<d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">" + responses
                              + "</d:multistatus>",
                          false};
}

} // namespace

// The given address names no principal; the well-known one redirects to one
// that does; its home lists a calendar and two address books.
TEST(DavOperations, DiscoveryFallsBackToTheWellKnownAddress)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest& request) {
        if (request.path == "/.well-known/carddav") return ScriptedAnswer{301, {{"Location", "/dav/"}}, {}, false};
        if (request.path == "/dav/")
            return multistatus("<d:response><d:href>/dav/</d:href><d:propstat><d:prop><d:current-user-principal>"
                               "<d:href>/dav/principals/jo/</d:href></d:current-user-principal></d:prop>"
                               "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>");
        if (request.path == "/dav/principals/jo/")
            return multistatus("<d:response><d:href>/dav/principals/jo/</d:href><d:propstat><d:prop>"
                               "<c:addressbook-home-set><d:href>/dav/books/jo/</d:href></c:addressbook-home-set>"
                               "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>");
        if (request.path == "/dav/books/jo/" && request.headers.value("depth") == "1")
            return multistatus(
                "<d:response><d:href>/dav/books/jo/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
                "</d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                "<d:response><d:href>/dav/books/jo/cal/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
                "<x:calendar xmlns:x=\"urn:ietf:params:xml:ns:caldav\"/></d:resourcetype></d:prop>"
                "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                "<d:response><d:href>/dav/books/jo/work/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
                "<c:addressbook/></d:resourcetype><d:displayname>Work</d:displayname></d:prop>"
                "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                "<d:response><d:href>/dav/books/jo/home/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
                "<c:addressbook/></d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
                "</d:response>");
        return ScriptedAnswer{404, {}, {}, false};
    };
    DavClient client(operationsAccount());
    const AddressBookDiscovery found = discoverAddressBooks(client, server.url(QStringLiteral("/index.html")));
    ASSERT_TRUE(found.status.ok()) << found.status.reason.toStdString();
    EXPECT_EQ(found.principal, server.url(QStringLiteral("/dav/principals/jo/")));
    EXPECT_EQ(found.home, server.url(QStringLiteral("/dav/books/jo/")));
    ASSERT_EQ(found.addressBooks.size(), 2);
    EXPECT_EQ(found.addressBooks[0].href, server.url(QStringLiteral("/dav/books/jo/work/")));
    EXPECT_EQ(found.addressBooks[0].displayName, QStringLiteral("Work"));
    EXPECT_FALSE(found.addressBooks[0].offersSyncCollection);
}

TEST(DavOperations, DiscoveryStopsAtARefusedPassword)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest&) { return ScriptedAnswer{401, {}, {}, false}; };
    DavClient client(operationsAccount());
    const AddressBookDiscovery found = discoverAddressBooks(client, server.url(QStringLiteral("/")));
    EXPECT_EQ(found.status.problem, DavProblem::AuthRefused);
    EXPECT_EQ(found.status.reason, QStringLiteral("The server refused the user name or password."));
    EXPECT_EQ(server.received.size(), 1);
}

TEST(DavOperations, SyncReportTokensAndTruncation)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest& request) {
        if (request.body.contains("old-token"))
            return ScriptedAnswer{403,
                                  {{"Content-Type", "application/xml"}},
                                  "<D:error xmlns:D=\"DAV:\"><D:valid-sync-token/></D:error>",
                                  false};
        if (request.body.contains("forbidden")) return ScriptedAnswer{403, {}, "Forbidden", false};
        return multistatus(
            "<d:response><d:href>/book/</d:href><d:status>HTTP/1.1 507 Insufficient Storage</d:status></d:response>"
            "<d:response><d:href>/book/a.vcf</d:href><d:propstat><d:prop><d:getetag>\"a1\"</d:getetag></d:prop>"
            "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
            "<d:response><d:href>/book/b.vcf</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>"
            "<d:sync-token>t2</d:sync-token>");
    };
    DavClient client(operationsAccount());
    const QUrl book = server.url(QStringLiteral("/book/"));
    const SyncCollectionResult result = syncCollection(client, book, QStringLiteral("t1 & <more>"));
    ASSERT_TRUE(result.status.ok()) << result.status.reason.toStdString();
    EXPECT_TRUE(server.received[0].body.contains("<d:sync-token>t1 &amp; &lt;more&gt;</d:sync-token>"));
    EXPECT_EQ(server.received[0].method, "REPORT");
    EXPECT_TRUE(result.truncated);
    ASSERT_EQ(result.changed.size(), 1);
    EXPECT_EQ(result.changed[0].href, server.url(QStringLiteral("/book/a.vcf")));
    EXPECT_EQ(result.changed[0].etag, QStringLiteral("\"a1\""));
    ASSERT_EQ(result.removed.size(), 1);
    EXPECT_EQ(result.removed[0], server.url(QStringLiteral("/book/b.vcf")));
    EXPECT_EQ(result.syncToken, QStringLiteral("t2"));

    const SyncCollectionResult stale = syncCollection(client, book, QStringLiteral("old-token"));
    EXPECT_EQ(stale.status.problem, DavProblem::InvalidSyncToken);
    EXPECT_EQ(stale.status.httpStatus, 403);
    const SyncCollectionResult refused = syncCollection(client, book, QStringLiteral("forbidden"));
    EXPECT_EQ(refused.status.problem, DavProblem::Failed);
}

TEST(DavOperations, WritesAndTheirPreconditions)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest& request) {
        if (request.headers.value("if-match") == "\"stale\"") return ScriptedAnswer{412, {}, {}, false};
        if (request.method == "DELETE") return ScriptedAnswer{204, {}, {}, false};
        if (request.headers.contains("if-none-match")) return ScriptedAnswer{201, {{"ETag", "\"new\""}}, {}, false};
        return ScriptedAnswer{204, {{"ETag", "W/\"weak\""}}, {}, false};
    };
    DavClient client(operationsAccount());
    const QUrl card = server.url(QStringLiteral("/book/c.vcf"));
    const QByteArray vcard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:C\r\nEND:VCARD\r\n";

    const WriteResult created = putVCard(client, card, vcard, {});
    ASSERT_TRUE(created.status.ok());
    EXPECT_EQ(created.etag, QStringLiteral("\"new\""));
    EXPECT_EQ(server.received[0].headers.value("if-none-match"), "*");
    EXPECT_EQ(server.received[0].body, vcard);
    EXPECT_TRUE(server.received[0].headers.value("content-type").startsWith("text/vcard"));

    const WriteResult updated = putVCard(client, card, vcard, QStringLiteral("\"new\""));
    ASSERT_TRUE(updated.status.ok());
    EXPECT_TRUE(updated.etag.isEmpty()); // a weak tag cannot guard the next write

    const WriteResult conflict = putVCard(client, card, vcard, QStringLiteral("\"stale\""));
    EXPECT_EQ(conflict.status.problem, DavProblem::PreconditionFailed);
    EXPECT_TRUE(conflict.status.reason.contains(QLatin1String("Someone else changed")));

    EXPECT_TRUE(deleteResource(client, card, QStringLiteral("\"new\"")).ok());
    EXPECT_EQ(deleteResource(client, card, QStringLiteral("\"stale\"")).problem, DavProblem::PreconditionFailed);
}

TEST(DavOperations, MultigetNamesWhatIsMissing)
{
    FakeDavServer server;
    server.answer = [&server](const ReceivedRequest&) {
        return multistatus("<d:response><d:href>"
                           + server.url(QStringLiteral("/book/a%20b.vcf")).toString(QUrl::FullyEncoded).toLatin1()
                           + "</d:href><d:propstat><d:prop><d:getetag>\"1\"</d:getetag>"
                             "<c:address-data>BEGIN:VCARD&#13;\nEND:VCARD&#13;\n</c:address-data></d:prop>"
                             "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                             "<d:response><d:href>/book/gone.vcf</d:href>"
                             "<d:status>HTTP/1.1 404 Not Found</d:status></d:response>");
    };
    DavClient client(operationsAccount());
    const QUrl book = server.url(QStringLiteral("/book/"));
    const MultigetResult result = multiget(
        client, book, {resolveHref(book, QStringLiteral("a b.vcf")), resolveHref(book, QStringLiteral("gone.vcf"))});
    ASSERT_TRUE(result.status.ok()) << result.status.reason.toStdString();
    EXPECT_TRUE(server.received[0].body.contains("<d:href>/book/a%20b.vcf</d:href>"));
    ASSERT_EQ(result.found.size(), 1);
    EXPECT_EQ(result.found[0].data, "BEGIN:VCARD\r\nEND:VCARD\r\n");
    ASSERT_EQ(result.missing.size(), 1);
    EXPECT_EQ(result.missing[0], resolveHref(book, QStringLiteral("gone.vcf")));
}
