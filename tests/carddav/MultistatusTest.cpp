// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The multistatus reader on replies in the shapes the common servers write
// them (each binds the namespaces to prefixes of its own, and spells hrefs
// its own way), and on replies that are broken or too big.
#include "carddav/Multistatus.h"
#include "carddav/DavHref.h"

#include <gtest/gtest.h>

using namespace kestrix;

namespace {

const QUrl homeUrl(QStringLiteral("http://127.0.0.1:5232/jo/"));

Multistatus parsed(const QByteArray& body, const QUrl& base = homeUrl)
{
    Multistatus result;
    const DavStatus status = parseMultistatus(body, base, result);
    EXPECT_TRUE(status.ok()) << status.reason.toStdString();
    return result;
}

const DavResponse* responseFor(const Multistatus& reply, const QString& href, const QUrl& base = homeUrl)
{
    for (const DavResponse& response : reply.responses) {
        if (response.href == resolveHref(base, href)) return &response;
    }
    return nullptr;
}

} // namespace

// Default namespace for DAV:, a prefix for CardDAV, 404 propstats for what
// a collection lacks.
TEST(Multistatus, AddressBookListingInRadicalesShape)
{
    const Multistatus reply = parsed(R"(<?xml version='1.0' encoding='utf-8'?>
<multistatus xmlns="DAV:" xmlns:CR="urn:ietf:params:xml:ns:carddav" xmlns:CS="http://calendarserver.org/ns/">
<response><href>/jo/</href><propstat><prop><resourcetype><principal /><collection /></resourcetype></prop>
<status>HTTP/1.1 200 OK</status></propstat>
<propstat><prop><displayname /><CS:getctag /></prop><status>HTTP/1.1 404 Not Found</status></propstat></response>
<response><href>/jo/work%20contacts/</href><propstat><prop>
<resourcetype><CR:addressbook /><collection /></resourcetype><displayname>Work</displayname>
<CS:getctag>"c2f1"</CS:getctag><sync-token>http://radicale.org/ns/sync/77aa</sync-token>
<supported-report-set><supported-report><report><expand-property /></report></supported-report>
<supported-report><report><sync-collection /></report></supported-report></supported-report-set>
</prop><status>HTTP/1.1 200 OK</status></propstat></response>
</multistatus>)");
    ASSERT_EQ(reply.responses.size(), 2);
    const DavResponse* home = responseFor(reply, QStringLiteral("/jo/"));
    ASSERT_NE(home, nullptr);
    EXPECT_TRUE(home->properties.isCollection);
    EXPECT_FALSE(home->properties.isAddressBook);
    EXPECT_TRUE(home->properties.displayName.isEmpty()); // named only in the 404 propstat

    const DavResponse* book = responseFor(reply, QStringLiteral("/jo/work contacts/"));
    ASSERT_NE(book, nullptr);
    EXPECT_TRUE(book->properties.isAddressBook);
    EXPECT_EQ(book->properties.displayName, QStringLiteral("Work"));
    EXPECT_EQ(book->properties.ctag, QStringLiteral("\"c2f1\""));
    EXPECT_EQ(book->properties.syncToken, QStringLiteral("http://radicale.org/ns/sync/77aa"));
    EXPECT_TRUE(book->properties.offersSyncCollection);
}

// ns0-style prefixes, the principal and home set as nested hrefs, and an
// address book whose report set lacks sync-collection.
TEST(Multistatus, PrincipalAndHomeInXandikosShape)
{
    const QUrl root(QStringLiteral("http://localhost:8080/"));
    const Multistatus reply = parsed(R"(<ns0:multistatus xmlns:ns0="DAV:" xmlns:ns1="urn:ietf:params:xml:ns:carddav">
<ns0:response><ns0:href>/user/</ns0:href><ns0:propstat><ns0:status>HTTP/1.1 200 OK</ns0:status><ns0:prop>
<ns0:current-user-principal><ns0:href>/user/</ns0:href></ns0:current-user-principal>
<ns1:addressbook-home-set><ns0:href>/user/contacts/</ns0:href></ns1:addressbook-home-set>
</ns0:prop></ns0:propstat></ns0:response>
<ns0:response><ns0:href>/user/contacts/addressbook/</ns0:href><ns0:propstat><ns0:status>HTTP/1.1 200 OK</ns0:status>
<ns0:prop><ns0:resourcetype><ns0:collection/><ns1:addressbook/></ns0:resourcetype>
<ns0:supported-report-set><ns0:supported-report><ns0:report><ns1:addressbook-multiget/></ns0:report>
</ns0:supported-report></ns0:supported-report-set></ns0:prop></ns0:propstat></ns0:response>
</ns0:multistatus>)",
                                     root);
    const DavResponse* principal = responseFor(reply, QStringLiteral("/user/"), root);
    ASSERT_NE(principal, nullptr);
    ASSERT_EQ(principal->properties.principals.size(), 1);
    EXPECT_EQ(principal->properties.principals[0], QUrl(QStringLiteral("http://localhost:8080/user/")));
    ASSERT_EQ(principal->properties.homeSets.size(), 1);
    EXPECT_EQ(principal->properties.homeSets[0], QUrl(QStringLiteral("http://localhost:8080/user/contacts/")));
    const DavResponse* book = responseFor(reply, QStringLiteral("/user/contacts/addressbook/"), root);
    ASSERT_NE(book, nullptr);
    EXPECT_TRUE(book->properties.isAddressBook);
    EXPECT_FALSE(book->properties.offersSyncCollection);
}

// d:/card:/oc: prefixes, hrefs with encoded UTF-8, a sync report with a
// removed member, the new token at the end, and address data whose CRs
// are character references.
TEST(Multistatus, SyncReportInNextcloudShape)
{
    const QUrl book(
        QStringLiteral("https://cloud.example.com/remote.php/dav/addressbooks/users/j%C3%BCrgen/contacts/"));
    const Multistatus reply = parsed(R"(<?xml version="1.0"?>
<d:multistatus xmlns:d="DAV:" xmlns:s="http://sabredav.org/ns" xmlns:card="urn:ietf:params:xml:ns:carddav"
 xmlns:oc="http://owncloud.org/ns">
 <d:response>
  <d:href>/remote.php/dav/addressbooks/users/j%c3%bcrgen/contacts/A%2Fb.vcf</d:href>
  <d:propstat><d:prop><d:getetag>&quot;5e1f&quot;</d:getetag>
   <card:address-data>BEGIN:VCARD&#13;
VERSION:3.0&#13;
FN:J&#xFC;rgen &lt;Boss&gt;&#13;
END:VCARD&#13;
</card:address-data></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>
 </d:response>
 <d:response><d:href>/remote.php/dav/addressbooks/users/j%C3%BCrgen/contacts/gone.vcf</d:href>
  <d:status>HTTP/1.1 404 Not Found</d:status></d:response>
 <d:sync-token>http://sabre.io/ns/sync/42</d:sync-token>
</d:multistatus>)",
                                     book);
    EXPECT_EQ(reply.syncToken, QStringLiteral("http://sabre.io/ns/sync/42"));
    ASSERT_EQ(reply.responses.size(), 2);
    const DavResponse& changed = reply.responses[0];
    EXPECT_EQ(changed.href, resolveHref(book, QStringLiteral("A%2Fb.vcf"))); // the encoded "/" stays in the name
    EXPECT_EQ(changed.status, 0);
    EXPECT_EQ(changed.properties.etag, QStringLiteral("\"5e1f\""));
    ASSERT_TRUE(changed.properties.hasAddressData);
    EXPECT_EQ(changed.properties.addressData,
              QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:J\xC3\xBCrgen <Boss>\r\nEND:VCARD\r\n"));
    EXPECT_EQ(reply.responses[1].status, 404);
}

// Whole URLs with the default port, uppercase escapes, an unquoted entity
// tag, and address data in a CDATA section.
TEST(Multistatus, MultigetInApplesShape)
{
    const QUrl book(QStringLiteral("https://contacts.example.com/1234/carddavhome/card/"));
    const Multistatus reply = parsed(R"(<?xml version="1.0" encoding="UTF-8"?>
<D:multistatus xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><D:response>
<D:href>https://Contacts.Example.COM:443/1234/carddavhome/card/%7Eann.vcf</D:href>
<D:propstat><D:prop><D:getetag>C=12@U=3</D:getetag><C:address-data><![CDATA[BEGIN:VCARD
FN:Ann & Co <ann>
END:VCARD
]]></C:address-data></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
<D:response><D:href>/1234/carddavhome/card/missing.vcf</D:href><D:propstat><D:prop><D:getetag/>
<C:address-data/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat></D:response>
</D:multistatus>)",
                                     book);
    ASSERT_EQ(reply.responses.size(), 2);
    EXPECT_EQ(reply.responses[0].href, resolveHref(book, QStringLiteral("~ann.vcf")));
    EXPECT_EQ(hrefKey(reply.responses[0].href),
              QStringLiteral("https://contacts.example.com/1234/carddavhome/card/~ann.vcf"));
    EXPECT_EQ(reply.responses[0].properties.etag, QStringLiteral("\"C=12@U=3\""));
    EXPECT_EQ(reply.responses[0].properties.addressData, QByteArray("BEGIN:VCARD\nFN:Ann & Co <ann>\nEND:VCARD\n"));
    EXPECT_FALSE(reply.responses[1].properties.hasAddressData);
}

TEST(Multistatus, BrokenRepliesGiveAReason)
{
    const struct {
        const char* name;
        QByteArray body;
        const char* reasonHas;
    } cases[] = {
        {"empty", "", "empty"},
        {"not xml", "<html><body>Login</body></html>", "not a multistatus"},
        {"unclosed", "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/a</d:href>", "ends early"},
        {"mismatched", "<d:multistatus xmlns:d=\"DAV:\"><d:response></d:multistatus>", "could not be read"},
        {"unbound prefix", "<x:multistatus><x:response/></x:multistatus>", "could not be read"},
        {"wrong namespace", "<multistatus xmlns=\"urn:other\"/>", "not a multistatus"},
        {"trailing junk", "<multistatus xmlns=\"DAV:\"/><more/>", "could not be read"},
        {"entities",
         "<!DOCTYPE m [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
         "<multistatus xmlns=\"DAV:\"><response><href>&b;</href></response></multistatus>",
         "document type"},
    };
    for (const auto& example : cases) {
        Multistatus result;
        const DavStatus status = parseMultistatus(example.body, homeUrl, result);
        EXPECT_EQ(status.problem, DavProblem::BadReply) << example.name;
        EXPECT_TRUE(status.reason.contains(QLatin1String(example.reasonHas)))
            << example.name << ": " << status.reason.toStdString();
        EXPECT_TRUE(status.reason.contains(QLatin1String("127.0.0.1:5232"))) << example.name;
        EXPECT_TRUE(result.responses.isEmpty()) << example.name;
    }
}

TEST(Multistatus, StopsAtTheCapOnResponses)
{
    QByteArray body = "<multistatus xmlns=\"DAV:\">";
    for (int i = 0; i <= maxMultistatusResponses; ++i)
        body += "<response><href>/jo/" + QByteArray::number(i) + ".vcf</href></response>";
    body += "</multistatus>";
    Multistatus result;
    DavStatus status = parseMultistatus(body, homeUrl, result);
    EXPECT_EQ(status.problem, DavProblem::TooLarge);
    EXPECT_TRUE(status.reason.contains(QLatin1String("more than 100000"))) << status.reason.toStdString();
    EXPECT_TRUE(result.responses.isEmpty());

    status = parseMultistatus(body, homeUrl, result, maxMultistatusResponses + 1);
    EXPECT_TRUE(status.ok());
    EXPECT_EQ(result.responses.size(), maxMultistatusResponses + 1);
}

// XML hands text over with LF for CRLF; the CRs a server wrote come back.
TEST(Multistatus, AddressDataKeepsTheServersLineEnds)
{
    const QByteArray vcard = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A &amp; B\r\nEND:VCARD\r\n";
    const Multistatus reply =
        parsed("<?xml version=\"1.0\"?>\r\n<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">\r\n"
               "<response><href>/jo/a.vcf</href><propstat><prop><C:address-data>"
               + vcard
               + "</C:address-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>\r\n"
                 "</multistatus>\r\n");
    ASSERT_EQ(reply.responses.size(), 1);
    EXPECT_EQ(reply.responses[0].properties.addressData,
              QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A & B\r\nEND:VCARD\r\n"));
}

// Unknown elements anywhere, deep nesting inside a property, and a response
// naming several hrefs.
TEST(Multistatus, SkipsWhatItDoesNotKnow)
{
    QByteArray deep;
    for (int i = 0; i < 5000; ++i) deep += "<x:n>";
    for (int i = 0; i < 5000; ++i) deep += "</x:n>";
    const Multistatus reply = parsed("<d:multistatus xmlns:d=\"DAV:\" xmlns:x=\"urn:x\"><x:note>hi</x:note>"
                                     "<d:response><d:href>a.vcf</d:href><d:href>b.vcf</d:href><x:extra/>"
                                     "<d:status>HTTP/1.1 404 Not Found</d:status></d:response>"
                                     "<d:response><d:href>c.vcf</d:href><d:propstat><d:prop><x:big>"
                                     + deep
                                     + "</x:big><d:getetag>\"c\"</d:getetag></d:prop>"
                                       "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
                                       "</d:multistatus>");
    ASSERT_EQ(reply.responses.size(), 3);
    EXPECT_EQ(reply.responses[1].href, resolveHref(homeUrl, QStringLiteral("/jo/b.vcf")));
    EXPECT_EQ(reply.responses[1].status, 404);
    EXPECT_EQ(reply.responses[2].properties.etag, QStringLiteral("\"c\""));
}

TEST(Multistatus, PreconditionErrorBody)
{
    EXPECT_TRUE(namesDavPrecondition("<?xml version=\"1.0\"?><E:error xmlns:E=\"DAV:\"><E:valid-sync-token/></E:error>",
                                     QStringLiteral("valid-sync-token")));
    EXPECT_FALSE(namesDavPrecondition("<error xmlns=\"DAV:\"><number-of-matches-within-limits/></error>",
                                      QStringLiteral("valid-sync-token")));
    EXPECT_FALSE(
        namesDavPrecondition("<error xmlns=\"urn:x\"><valid-sync-token/></error>", QStringLiteral("valid-sync-token")));
    EXPECT_FALSE(namesDavPrecondition("Forbidden", QStringLiteral("valid-sync-token")));
}

// However a server spells one resource, the hrefs compare equal; hrefs of
// different resources do not.
TEST(DavHref, OneSpellingPerResource)
{
    const QUrl base(QStringLiteral("https://dav.example.com/jo/cards/"));
    const QUrl expected = resolveHref(base, QStringLiteral("/jo/cards/anne%40home.vcf"));
    for (const char* spelling : {"anne@home.vcf", "anne%40home.vcf", "/jo/cards/anne@home.vcf",
                                 "https://DAV.example.com:443/jo/cards/anne%40home.vcf", "./anne%40home.vcf",
                                 "../cards/anne@home.vcf", " anne@home.vcf\n", "anne@home.vcf#part"}) {
        EXPECT_EQ(resolveHref(base, QString::fromLatin1(spelling)), expected) << spelling;
    }
    EXPECT_EQ(resolveHref(base, QStringLiteral("J%c3%bcrgen%20K.vcf")),
              resolveHref(base, QStringLiteral("J\u00FCrgen K.vcf")));
    EXPECT_NE(resolveHref(base, QStringLiteral("a%2Fb.vcf")), resolveHref(base, QStringLiteral("a/b.vcf")));
    EXPECT_NE(resolveHref(base, QStringLiteral("Anne.vcf")), resolveHref(base, QStringLiteral("anne.vcf")));
    EXPECT_NE(resolveHref(base, QStringLiteral("http://dav.example.com/jo/cards/anne.vcf")),
              resolveHref(base, QStringLiteral("anne.vcf")));
    EXPECT_FALSE(resolveHref(base, QString()).isValid());

    EXPECT_TRUE(sameCollection(QUrl(QStringLiteral("http://h:8080/a/b")), QUrl(QStringLiteral("http://H:8080/a/b/"))));
    EXPECT_FALSE(
        sameCollection(QUrl(QStringLiteral("http://h:8080/a/b/")), QUrl(QStringLiteral("http://h:8081/a/b/"))));
}
