// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The client against a scripted server on the loopback: where the password
// goes and where it does not, redirects, time-outs, oversized replies and
// the reasons a user reads.
#include "carddav/DavClient.h"
#include "FakeDavServer.h"
#include "carddav/CredentialRules.h"

#include <QTcpServer>

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;
using namespace std::chrono_literals;

namespace {

const QString secret = QStringLiteral("s3cr\u00E9t:pa55");

DavClientSettings account()
{
    DavClientSettings settings;
    settings.user = QStringLiteral("jo");
    settings.password = secret;
    settings.timeout = 5s;
    return settings;
}

DavRequest get(const QUrl& url)
{
    return DavRequest{"GET", url, {}, {}};
}

} // namespace

TEST(CredentialRules, PasswordOnlyInsideTlsOrOnThisComputer)
{
    for (const char* url : {"https://dav.example.com/", "HTTPS://dav.example.com:8443/x", "http://127.0.0.1:5232/",
                            "http://127.8.9.10/", "http://localhost:80/", "http://LocalHost/", "http://[::1]:5232/"}) {
        EXPECT_TRUE(mayCarryPassword(QUrl(QString::fromLatin1(url)))) << url;
    }
    for (const char* url : {"http://dav.example.com/", "http://192.168.1.2/", "http://128.0.0.1/", "http://0.0.0.0/",
                            "http://localhost.example.com/", "http://[::2]/", "ftp://127.0.0.1/", "/relative"}) {
        EXPECT_FALSE(mayCarryPassword(QUrl(QString::fromLatin1(url)))) << url;
    }
    const QUrl origin(QStringLiteral("https://dav.example.com/a/"));
    EXPECT_TRUE(mayForwardPassword(origin, QUrl(QStringLiteral("https://DAV.example.com:8443/b/"))));
    EXPECT_FALSE(mayForwardPassword(origin, QUrl(QStringLiteral("http://dav.example.com/b/"))));
    EXPECT_FALSE(mayForwardPassword(origin, QUrl(QStringLiteral("https://other.example.com/b/"))));
}

TEST(DavClient, SendsThePasswordToThisComputerUpFront)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest&) { return ScriptedAnswer{200, {{"ETag", "\"1\""}}, "hello", false}; };
    DavClient client(account());
    const DavReply reply = client.send(get(server.url(QStringLiteral("/a"))));
    ASSERT_TRUE(reply.status.ok()) << reply.status.reason.toStdString();
    EXPECT_EQ(reply.httpStatus(), 200);
    EXPECT_EQ(reply.body, "hello");
    EXPECT_EQ(reply.header("etag"), "\"1\"");
    ASSERT_EQ(server.received.size(), 1);
    EXPECT_EQ(basicPassword(server.received[0]), secret.toUtf8());
}

// 0.0.0.0 reaches this computer on Linux but is no loopback address, so a
// mistake here would still send nothing off the machine.
TEST(DavClient, WithholdsThePasswordOverPlainHttpElsewhere)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::Any, 0));
    QUrl url(QStringLiteral("http://0.0.0.0/cards/"));
    url.setPort(listener.serverPort());
    DavClient client(account());
    const DavReply reply = client.send(get(url));
    EXPECT_EQ(reply.status.problem, DavProblem::PasswordWithheld);
    EXPECT_TRUE(reply.status.reason.contains(QLatin1String("https://"))) << reply.status.reason.toStdString();
    EXPECT_FALSE(reply.status.reason.contains(secret));
    listener.waitForNewConnection(100);
    EXPECT_FALSE(listener.hasPendingConnections());
}

TEST(DavClient, RedirectsKeepThePasswordOnTheSameHostOnly)
{
    FakeDavServer server;
    server.answer = [&server](const ReceivedRequest& request) {
        if (request.path == "/start") return ScriptedAnswer{301, {{"Location", "/same"}}, {}, false};
        if (request.path == "/same")
            return ScriptedAnswer{307,
                                  {{"Location",
                                    server.url(QStringLiteral("/other"))
                                        .toString(QUrl::FullyEncoded)
                                        .replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"))
                                        .toLatin1()}},
                                  {},
                                  false};
        return ScriptedAnswer{basicPassword(request).isEmpty() ? 401 : 200, {}, {}, false};
    };
    DavClient client(account());
    DavRequest request{"PROPFIND", server.url(QStringLiteral("/start")), {{"Depth", "0"}}, "<propfind/>"};
    const DavReply reply = client.send(request);
    ASSERT_EQ(server.received.size(), 3);
    EXPECT_EQ(basicPassword(server.received[1]), secret.toUtf8());
    EXPECT_TRUE(basicPassword(server.received[2]).isEmpty());
    EXPECT_EQ(server.received[2].method, "PROPFIND");
    EXPECT_EQ(server.received[2].body, "<propfind/>");
    EXPECT_EQ(reply.status.problem, DavProblem::AuthRefused);
    EXPECT_TRUE(reply.status.reason.contains(QLatin1String("goes only to 127.0.0.1")))
        << reply.status.reason.toStdString();
    EXPECT_FALSE(reply.status.reason.contains(secret));
}

TEST(DavClient, StopsAfterAFewRedirects)
{
    FakeDavServer server;
    int hops = 0;
    server.answer = [&hops](const ReceivedRequest&) {
        return ScriptedAnswer{302, {{"Location", "/loop" + QByteArray::number(++hops)}}, {}, false};
    };
    DavClientSettings settings = account();
    settings.maxRedirects = 3;
    DavClient client(settings);
    const DavReply reply = client.send(get(server.url(QStringLiteral("/loop"))));
    EXPECT_EQ(reply.status.problem, DavProblem::Redirects);
    EXPECT_EQ(server.received.size(), 4);
    EXPECT_TRUE(reply.status.reason.contains(QLatin1String("more than 3 times"))) << reply.status.reason.toStdString();
}

// Failures without an HTTP answer, each with a reason the user can act on.
TEST(DavClient, ReasonsWhenNoAnswerComes)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest& request) {
        if (request.path == "/silent") return ScriptedAnswer{200, {}, {}, true};
        if (request.path == "/huge") return ScriptedAnswer{200, {}, QByteArray(5000, 'x'), false};
        return ScriptedAnswer{200, {{"Content-Length", "999999999"}}, "short", false};
    };
    DavClientSettings settings = account();
    settings.timeout = 300ms;
    settings.maxReplyBytes = 4096;
    DavClient client(settings);

    DavReply reply = client.send(get(server.url(QStringLiteral("/silent"))));
    EXPECT_EQ(reply.status.problem, DavProblem::TimedOut);
    EXPECT_EQ(reply.status.reason, QStringLiteral("The server did not answer within 0.3 s."));

    for (const char* path : {"/huge", "/announced"}) {
        reply = client.send(get(server.url(QString::fromLatin1(path))));
        EXPECT_EQ(reply.status.problem, DavProblem::TooLarge) << path;
        EXPECT_TRUE(reply.status.reason.contains(QLatin1String("larger than"))) << reply.status.reason.toStdString();
        EXPECT_TRUE(reply.body.isEmpty());
    }

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    QUrl nobody = server.url(QStringLiteral("/"));
    nobody.setPort(closed.serverPort());
    closed.close();
    reply = client.send(get(nobody));
    EXPECT_EQ(reply.status.problem, DavProblem::Unreachable);
    EXPECT_TRUE(reply.status.reason.contains(QLatin1String("is the server running?")))
        << reply.status.reason.toStdString();
}

TEST(DavClient, WrongPasswordIsSaidPlainly)
{
    FakeDavServer server;
    server.answer = [](const ReceivedRequest&) {
        return ScriptedAnswer{401, {{"WWW-Authenticate", "Basic realm=\"dav\""}}, "no", false};
    };
    DavClient client(account());
    const DavReply reply = client.send(get(server.url(QStringLiteral("/"))));
    ASSERT_TRUE(reply.status.ok());
    EXPECT_EQ(reply.httpStatus(), 401);
    EXPECT_EQ(server.received.size(), 1); // sent once, not retried by Qt's own authenticator
}
