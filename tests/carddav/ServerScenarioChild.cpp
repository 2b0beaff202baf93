// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Runs the client through one round of what a sync does, against a real
// server that dav_server_test.py started, and prints each step: what the
// server did, and FAIL where it is not what the protocol promises.
//   kestrix_carddav_scenario ROOT_URL USER PASSWORD [--no-auth] [--token-errors]
// --no-auth: the server takes any password, so a wrong one is not tried.
// --token-errors: the server says an unknown sync token is not valid, as
// the protocol has it; without, it only has to refuse it somehow.
#include "carddav/AddressBookDiscovery.h"
#include "carddav/CollectionListing.h"
#include "carddav/DavHref.h"
#include "carddav/ResourceFetching.h"
#include "carddav/ResourceWriting.h"

#include <QCoreApplication>

#include <cstdio>

using namespace kestrix;

namespace {

int failures = 0;

void check(bool ok, const QString& what, const DavStatus& status = DavStatus::success(0))
{
    if (!ok) ++failures;
    std::printf("%s: %s%s\n", ok ? "ok" : "FAIL", qPrintable(what),
                status.reason.isEmpty()
                    ? ""
                    : qPrintable(QStringLiteral(" (%1 %2)").arg(status.httpStatus).arg(status.reason)));
    std::fflush(stdout);
}

void note(const QString& what)
{
    std::printf("note: %s\n", qPrintable(what));
}

bool lists(const QList<DavMember>& members, const QUrl& href)
{
    for (const DavMember& member : members) {
        if (member.href == href) return true;
    }
    return false;
}

QByteArray vcard(const char* name)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:kestrix-scenario-1\r\nFN:") + name + "\r\nN:;" + name
        + ";;;\r\nNOTE:Caf\xC3\xA9 & <co>\r\nEND:VCARD\r\n";
}

// Radicale makes a user's principal on first sight but no address book;
// an extended MKCOL makes one, where there is none yet.
void makeAddressBook(DavClient& client, const QUrl& home)
{
    const QUrl book = resolveHref(home, QStringLiteral("kestrix-scenario/"));
    const QByteArray body = "<?xml version=\"1.0\"?><d:mkcol xmlns:d=\"DAV:\" "
                            "xmlns:c=\"urn:ietf:params:xml:ns:carddav\"><d:set><d:prop><d:resourcetype>"
                            "<d:collection/><c:addressbook/></d:resourcetype><d:displayname>Scenario</d:displayname>"
                            "</d:prop></d:set></d:mkcol>";
    const DavReply reply = client.send(DavRequest{"MKCOL", book, {{"Content-Type", "application/xml"}}, body});
    check(reply.status.ok() && reply.httpStatus() == 201, QStringLiteral("MKCOL made %1").arg(hrefKey(book)),
          reply.status);
}

AddressBook findBook(DavClient& client, const QUrl& root)
{
    AddressBookDiscovery found = discoverAddressBooks(client, root);
    check(found.status.ok(), QStringLiteral("discovery from %1").arg(root.toString()), found.status);
    if (found.status.ok() && found.addressBooks.isEmpty()) {
        makeAddressBook(client, found.home);
        found = discoverAddressBooks(client, root);
    }
    check(!found.addressBooks.isEmpty(), QStringLiteral("discovery found an address book"));
    note(QStringLiteral("principal %1, home %2").arg(hrefKey(found.principal), hrefKey(found.home)));
    for (const AddressBook& book : std::as_const(found.addressBooks)) {
        note(QStringLiteral("address book %1 \"%2\" sync-collection %3, ctag \"%4\", sync-token \"%5\"")
                 .arg(hrefKey(book.href), book.displayName)
                 .arg(book.offersSyncCollection ? QStringLiteral("yes") : QStringLiteral("no"))
                 .arg(book.ctag, book.syncToken));
    }
    return found.addressBooks.value(0);
}

} // namespace

namespace {

// Creating, refusing a second creation and a stale update; hands back the
// entity tag of the version stored.
QString writeCard(DavClient& client, const QUrl& card)
{
    const WriteResult created = putVCard(client, card, vcard("Anne"), {});
    check(created.status.ok(), QStringLiteral("PUT with If-None-Match creates"), created.status);
    note(QStringLiteral("PUT of a new card gave ETag \"%1\"").arg(created.etag));
    const WriteResult again = putVCard(client, card, vcard("Anne"), {});
    check(again.status.problem == DavProblem::PreconditionFailed, QStringLiteral("a second creation gets 412"),
          again.status);
    const WriteResult stale = putVCard(client, card, vcard("Bob"), QStringLiteral("\"not-the-etag\""));
    check(stale.status.problem == DavProblem::PreconditionFailed, QStringLiteral("PUT with a stale If-Match gets 412"),
          stale.status);
    if (!created.etag.isEmpty()) return created.etag;
    const FetchResult fetched = fetchResource(client, card);
    check(fetched.status.ok() && !fetched.resource.etag.isEmpty(), QStringLiteral("GET gives the ETag"),
          fetched.status);
    return fetched.resource.etag;
}

// The same bytes back from a multiget and from a GET.
void readBack(DavClient& client, const QUrl& book, const QUrl& card, const QByteArray& sent)
{
    const MultigetResult got = multiget(client, book, {card});
    check(got.status.ok() && got.found.size() == 1 && got.missing.isEmpty(), QStringLiteral("multiget finds the card"),
          got.status);
    if (got.found.size() == 1) {
        check(got.found[0].data == sent, QStringLiteral("multiget gives the exact bytes sent"));
        if (got.found[0].data != sent) note(QString::fromUtf8(got.found[0].data));
    }
    const FetchResult fetched = fetchResource(client, card);
    check(fetched.status.ok() && fetched.resource.data == sent, QStringLiteral("GET gives the exact bytes sent"),
          fetched.status);
}

void syncRound(DavClient& client, const QUrl& book, bool tokenErrors)
{
    const QUrl card = resolveHref(book, QStringLiteral("kestrix scenario@1.vcf"));
    const SyncCollectionResult first = syncCollection(client, book, {});
    check(first.status.ok() && !first.syncToken.isEmpty(), QStringLiteral("sync-collection with no token"),
          first.status);
    QString etag = writeCard(client, card);
    const SyncCollectionResult all = syncCollection(client, book, {});
    check(all.status.ok() && lists(all.changed, card), QStringLiteral("an empty token lists the new card"), all.status);
    const SyncCollectionResult none = syncCollection(client, book, all.syncToken);
    check(none.status.ok() && none.changed.isEmpty() && none.removed.isEmpty(),
          QStringLiteral("the returned token lists nothing new"), none.status);

    const WriteResult updated = putVCard(client, card, vcard("Anne Changed"), etag);
    check(updated.status.ok(), QStringLiteral("PUT with the current If-Match updates"), updated.status);
    note(QStringLiteral("PUT of an update gave ETag \"%1\"").arg(updated.etag));
    etag = updated.etag.isEmpty() ? fetchResource(client, card).resource.etag : updated.etag;
    const SyncCollectionResult changed = syncCollection(client, book, all.syncToken);
    check(changed.status.ok() && lists(changed.changed, card) && changed.changed.size() == 1,
          QStringLiteral("after a change the token lists the change"), changed.status);
    readBack(client, book, card, vcard("Anne Changed"));
    const MemberListing members = listMembers(client, book);
    check(members.status.ok() && lists(members.members, card), QStringLiteral("PROPFIND lists the card with its ETag"),
          members.status);

    check(deleteResource(client, card, QStringLiteral("\"not-the-etag\"")).problem == DavProblem::PreconditionFailed,
          QStringLiteral("DELETE with a stale If-Match gets 412"));
    const DavStatus deleted = deleteResource(client, card, etag);
    check(deleted.ok(), QStringLiteral("DELETE with the current If-Match"), deleted);
    const SyncCollectionResult removed = syncCollection(client, book, changed.syncToken);
    check(removed.status.ok() && removed.removed.contains(card) && removed.changed.isEmpty(),
          QStringLiteral("after a DELETE the token lists the removal"), removed.status);
    const SyncCollectionResult bogus = syncCollection(client, book, QStringLiteral("http://example.com/ns/sync/bogus"));
    if (tokenErrors)
        check(bogus.status.problem == DavProblem::InvalidSyncToken, QStringLiteral("an unknown token is told apart"),
              bogus.status);
    else
        check(!bogus.status.ok(), QStringLiteral("an unknown token is refused"), bogus.status);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: %s ROOT_URL USER PASSWORD [--no-auth] [--token-errors]\n", argv[0]);
        return 2;
    }
    const QUrl root(arguments[1]);
    DavClientSettings settings;
    settings.user = arguments[2];
    settings.password = arguments[3];
    settings.timeout = std::chrono::seconds(20);
    DavClient client(settings);
    const AddressBook book = findBook(client, root);
    if (book.href.isValid()) syncRound(client, book.href, arguments.contains(QStringLiteral("--token-errors")));

    if (!arguments.contains(QStringLiteral("--no-auth"))) {
        settings.password = QStringLiteral("wrong-") + arguments[3];
        DavClient wrong(settings);
        const AddressBookDiscovery refused = discoverAddressBooks(wrong, root);
        check(refused.status.problem == DavProblem::AuthRefused
                  && refused.status.reason == QStringLiteral("The server refused the user name or password.")
                  && !refused.status.reason.contains(settings.password),
              QStringLiteral("a wrong password is said plainly"), refused.status);
    }
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
