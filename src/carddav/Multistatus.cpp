// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "carddav/Multistatus.h"

#include "carddav/DavHref.h"
#include "carddav/DavNames.h"

#include <QXmlStreamReader>

namespace kestrix {

namespace {

bool isDav(const QXmlStreamReader& xml, QLatin1String name)
{
    return xml.namespaceUri() == davnames::dav && xml.name() == name;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 for anything else.
int statusCode(const QString& line)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    if (parts.size() < 2) return 0;
    bool ok = false;
    const int code = parts[1].toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

QString text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
}

// A quoted entity tag, as If-Match wants it, from a server that may have
// left the quotes off.
QString headerEtag(const QString& etag)
{
    if (etag.isEmpty() || etag.startsWith(QLatin1Char('"')) || etag.startsWith(QLatin1String("W/"))) return etag;
    return QLatin1Char('"') + etag + QLatin1Char('"');
}

class MultistatusReader {
public:
    MultistatusReader(const QByteArray& body, const QUrl& requestUrl, Multistatus& result, qsizetype maxResponses)
        : xml_(body),
          requestUrl_(requestUrl),
          result_(result),
          maxResponses_(maxResponses),
          wroteCrLf_(body.contains("\r\n"))
    {}

    DavStatus read();

private:
    bool findRoot();
    void readResponse();
    void readPropstat(DavProperties& found);
    void readProperty(DavProperties& properties);
    void readResourceType(DavProperties& properties);
    void readReports(DavProperties& properties);
    QList<QUrl> readHrefs();
    DavStatus badReply(const QString& what) const;

    QXmlStreamReader xml_;
    const QUrl& requestUrl_;
    Multistatus& result_;
    qsizetype maxResponses_;
    bool tooMany_ = false;
    bool wroteCrLf_;
};

DavStatus MultistatusReader::badReply(const QString& what) const
{
    QString said = what;
    if (said.endsWith(QLatin1Char('.'))) said.chop(1); // Qt's own texts end in one
    return DavStatus::failure(DavProblem::BadReply, 207,
                              QStringLiteral("The server's reply from %1 could not be read: %2.")
                                  .arg(requestUrl_.toDisplayString(QUrl::RemoveUserInfo), said));
}

bool MultistatusReader::findRoot()
{
    while (!xml_.atEnd()) {
        switch (xml_.readNext()) {
        case QXmlStreamReader::DTD:
            // Entity declarations are how a small reply grows huge.
            xml_.raiseError(QStringLiteral("it declares a document type"));
            return false;
        case QXmlStreamReader::StartElement:
            return true;
        default:
            break;
        }
    }
    return false;
}

DavStatus MultistatusReader::read()
{
    if (!findRoot()) {
        const bool empty = !xml_.hasError() || xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError;
        return badReply(empty ? QStringLiteral("it is empty") : xml_.errorString());
    }
    if (!isDav(xml_, QLatin1String("multistatus"))) return badReply(QStringLiteral("it is not a multistatus"));
    while (!tooMany_ && xml_.readNextStartElement()) {
        if (isDav(xml_, QLatin1String("response")))
            readResponse();
        else if (isDav(xml_, QLatin1String("sync-token")))
            result_.syncToken = text(xml_);
        else
            xml_.skipCurrentElement();
    }
    if (tooMany_) {
        return DavStatus::failure(DavProblem::TooLarge, 207,
                                  QStringLiteral("The server's reply from %1 lists more than %2 entries.")
                                      .arg(requestUrl_.toDisplayString(QUrl::RemoveUserInfo))
                                      .arg(maxResponses_));
    }
    // Trailing junk after the root, or a root never closed.
    while (!xml_.hasError() && !xml_.atEnd()) xml_.readNext();
    if (xml_.error() != QXmlStreamReader::NoError && xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return badReply(xml_.errorString());
    if (xml_.hasError()) return badReply(QStringLiteral("it ends early"));
    return DavStatus::success(207);
}

void MultistatusReader::readResponse()
{
    QList<QUrl> hrefs;
    int status = 0;
    DavProperties found;
    while (xml_.readNextStartElement()) {
        if (isDav(xml_, QLatin1String("href")))
            hrefs.append(resolveHref(requestUrl_, text(xml_)));
        else if (isDav(xml_, QLatin1String("status")))
            status = statusCode(text(xml_));
        else if (isDav(xml_, QLatin1String("propstat")))
            readPropstat(found);
        else
            xml_.skipCurrentElement();
    }
    for (const QUrl& href : std::as_const(hrefs)) {
        if (!href.isValid()) continue; // nothing to key it by; the caller sees it missing
        if (result_.responses.size() >= maxResponses_) {
            tooMany_ = true;
            return;
        }
        result_.responses.append(DavResponse{href, status, found});
    }
}

void MultistatusReader::readPropstat(DavProperties& found)
{
    DavProperties properties;
    int status = 0;
    while (xml_.readNextStartElement()) {
        if (isDav(xml_, QLatin1String("prop"))) {
            while (xml_.readNextStartElement()) readProperty(properties);
        } else if (isDav(xml_, QLatin1String("status"))) {
            status = statusCode(text(xml_));
        } else {
            xml_.skipCurrentElement();
        }
    }
    // A 404 propstat names what the server lacks; only a 2xx one holds values.
    if (status < 200 || status > 299) return;
    auto keep = [](auto& into, const auto& from, auto isSet) {
        if (isSet(from)) into = from;
    };
    auto notEmpty = [](const auto& value) { return !value.isEmpty(); };
    keep(found.etag, properties.etag, notEmpty);
    keep(found.displayName, properties.displayName, notEmpty);
    keep(found.ctag, properties.ctag, notEmpty);
    keep(found.syncToken, properties.syncToken, notEmpty);
    keep(found.principals, properties.principals, notEmpty);
    keep(found.homeSets, properties.homeSets, notEmpty);
    found.isCollection = found.isCollection || properties.isCollection;
    found.isAddressBook = found.isAddressBook || properties.isAddressBook;
    found.offersSyncCollection = found.offersSyncCollection || properties.offersSyncCollection;
    if (properties.hasAddressData) {
        found.hasAddressData = true;
        found.addressData = properties.addressData;
    }
}

void MultistatusReader::readProperty(DavProperties& properties)
{
    const QStringView ns = xml_.namespaceUri();
    const QStringView name = xml_.name();
    if (ns == davnames::dav) {
        if (name == QLatin1String("getetag"))
            properties.etag = headerEtag(text(xml_));
        else if (name == QLatin1String("displayname"))
            properties.displayName = text(xml_);
        else if (name == QLatin1String("resourcetype"))
            readResourceType(properties);
        else if (name == QLatin1String("sync-token"))
            properties.syncToken = text(xml_);
        else if (name == QLatin1String("current-user-principal"))
            properties.principals = readHrefs();
        else if (name == QLatin1String("supported-report-set"))
            readReports(properties);
        else
            xml_.skipCurrentElement();
    } else if (ns == davnames::carddav && name == QLatin1String("addressbook-home-set")) {
        properties.homeSets = readHrefs();
    } else if (ns == davnames::carddav && name == QLatin1String("address-data")) {
        properties.hasAddressData = true;
        QString vcard = xml_.readElementText(QXmlStreamReader::IncludeChildElements);
        // XML turns every CRLF into LF before the text reaches us. vCard lines
        // end in CRLF, so a server that wrote CRLF wrote them in the cards:
        // they are put back, and the bytes are the ones the server stored.
        if (wroteCrLf_ && !vcard.contains(QLatin1Char('\r'))) vcard.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        properties.addressData = vcard.toUtf8();
    } else if (ns == davnames::calendarServer && name == QLatin1String("getctag")) {
        properties.ctag = text(xml_);
    } else {
        xml_.skipCurrentElement();
    }
}

void MultistatusReader::readResourceType(DavProperties& properties)
{
    while (xml_.readNextStartElement()) {
        if (isDav(xml_, QLatin1String("collection")))
            properties.isCollection = true;
        else if (xml_.namespaceUri() == davnames::carddav && xml_.name() == QLatin1String("addressbook"))
            properties.isAddressBook = true;
        xml_.skipCurrentElement();
    }
}

// supported-report-set > supported-report > report > (the report): the
// report's element sits three levels down, and only sync-collection counts.
void MultistatusReader::readReports(DavProperties& properties)
{
    int depth = 1;
    while (depth > 0 && !xml_.atEnd()) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (isDav(xml_, QLatin1String("sync-collection"))) properties.offersSyncCollection = true;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
}

QList<QUrl> MultistatusReader::readHrefs()
{
    QList<QUrl> hrefs;
    while (xml_.readNextStartElement()) {
        if (isDav(xml_, QLatin1String("href"))) {
            const QUrl href = resolveHref(requestUrl_, text(xml_));
            if (href.isValid()) hrefs.append(href);
        } else {
            xml_.skipCurrentElement();
        }
    }
    return hrefs;
}

} // namespace

DavStatus parseMultistatus(const QByteArray& body, const QUrl& requestUrl, Multistatus& result, qsizetype maxResponses)
{
    result = {};
    MultistatusReader reader(body, requestUrl, result, maxResponses);
    const DavStatus status = reader.read();
    if (!status.ok()) result = {};
    return status;
}

bool namesDavPrecondition(const QByteArray& body, const QString& name)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !isDav(xml, QLatin1String("error"))) return false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == davnames::dav && xml.name() == name) return true;
        xml.skipCurrentElement();
    }
    return false;
}

} // namespace kestrix
