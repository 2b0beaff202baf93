// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardWriter.h"

#include "contacts/CardMapping.h"
#include "contacts/PersonName.h"

#include <QStringEncoder>

#include <initializer_list>

namespace kestrix {

namespace {

constexpr qsizetype kLineOctets = 75;

// Buffers kept from one card to the next, so writing many cards costs no
// allocation per property.
struct Scratch {
    QByteArray utf8, value, line, carriageReturns;
};

class PropertyWriter {
public:
    explicit PropertyWriter(QByteArray& out) : out_(out) {}

    // One property: `head` is its name with any group and parameters; the
    // components are escaped and joined with semicolons.
    void write(QByteArrayView head, std::initializer_list<const QString*> components)
    {
        value_.resize(0);
        lineBreaks_ = 0;
        carriageReturns_.resize(0);
        bool first = true;
        for (const QString* component : components) {
            if (!first) value_.append(';');
            first = false;
            utf8_.resize(encoder_.requiredSpace(component->size()));
            utf8_.resize(encoder_.appendToBuffer(utf8_.data(), *component) - utf8_.data());
            appendEscaped(utf8_);
        }
        line_.resize(0);
        line_.append(head);
        if (!carriageReturns_.isEmpty()) {
            // Other readers see a line break; this one puts the CR back.
            line_.append(";X-KESTRIX-CR=");
            line_.append(carriageReturns_);
        }
        line_.append(':');
        line_.append(value_);
        appendFolded();
    }

    void writeRaw(QByteArrayView line)
    {
        out_.append(line);
        out_.append("\r\n");
    }

private:
    // Backslash, comma, semicolon and line breaks escaped. A CR (never stored
    // but by an old hand-edited file) is written as a line break too, and its
    // place noted, so no reader takes it for the end of a line.
    void appendEscaped(const QByteArray& text)
    {
        qsizetype start = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c != '\\' && c != ',' && c != ';' && c != '\n' && c != '\r') continue;
            value_.append(text.constData() + start, i - start);
            start = i + 1;
            if (c == '\n' || c == '\r') {
                ++lineBreaks_;
                if (c == '\r') {
                    if (!carriageReturns_.isEmpty()) carriageReturns_.append(',');
                    carriageReturns_.append(QByteArray::number(lineBreaks_));
                }
                value_.append("\\n");
            } else {
                value_.append('\\');
                value_.append(c);
            }
        }
        value_.append(text.constData() + start, text.size() - start);
    }

    // Lines of at most 75 octets; each continuation starts with a blank. A
    // line never ends inside a UTF-8 sequence.
    void appendFolded()
    {
        const char* at = line_.constData();
        qsizetype left = line_.size();
        qsizetype room = kLineOctets;
        while (left > room) {
            qsizetype cut = room;
            while (cut > 0 && (static_cast<unsigned char>(at[cut]) & 0xC0) == 0x80) --cut;
            out_.append(at, cut);
            out_.append("\r\n ");
            at += cut;
            left -= cut;
            room = kLineOctets - 1;
        }
        out_.append(at, left);
        out_.append("\r\n");
    }

    QByteArray& out_;
    inline static thread_local Scratch scratch_;
    QByteArray &utf8_ = scratch_.utf8, &value_ = scratch_.value, &line_ = scratch_.line,
               &carriageReturns_ = scratch_.carriageReturns;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    int lineBreaks_ = 0;
};

} // namespace

void appendVCard(QByteArray& out, const CardRecord& card, ExchangeFormat version)
{
    const bool v3 = version == ExchangeFormat::VCard3;
    auto field = [&card](Field f) -> const QString& { return card[indexOf(f)]; };
    PropertyWriter writer(out);
    writer.writeRaw("BEGIN:VCARD");
    writer.writeRaw(v3 ? "VERSION:3.0" : "VERSION:4.0");

    // FN is required and never empty: the contact; for a company's own card
    // the company, the card marked as an organisation's so that it does not
    // read back as the contact; for a card of neither, a stand-in.
    const QString& contact = field(Field::CCNAME);
    const QString& company = field(Field::CNAME);
    const bool companyCard = contact.isEmpty() && !company.isEmpty();
    if (companyCard && !v3) writer.writeRaw("KIND:org");
    const QString standIn = contact.isEmpty() && company.isEmpty() ? nameStandIn(card) : QString();
    writer.write("FN", {!contact.isEmpty() ? &contact : companyCard ? &company : &standIn});
    // N, which 3.0 demands, lets an address book sort by family name.
    const WrittenName name = writtenName(contact, field(Field::MEMO));
    const PersonName& parts = name.parts;
    writer.write("N", {&parts.family, &parts.given, &parts.additional, &parts.prefix, &parts.suffix});
    if (!company.isEmpty()) writer.write("ORG", {&company});
    // Apple's mark, which other address books read too.
    if (companyCard && v3) writer.writeRaw("X-ABShowAs:COMPANY");
    const QString none;
    if (!(field(Field::ADDRESS1).isEmpty() && field(Field::ADDRESS2).isEmpty() && field(Field::CITY).isEmpty()
          && field(Field::ST).isEmpty() && field(Field::ZIP).isEmpty()))
        writer.write("ADR;TYPE=work",
                     {&none, &field(Field::ADDRESS2), &field(Field::ADDRESS1), &field(Field::CITY), &field(Field::ST),
                      &field(Field::ZIP), &none});

    // A text that itself starts with "tel:" must not pass for a tel: URI.
    auto tel = [&](Field f, const char* v4Head, const char* v3Head) {
        const QString& number = field(f);
        if (number.isEmpty()) return;
        QByteArray head = v3 ? QByteArray(v3Head) : QByteArray(v4Head);
        if (!v3 && number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) head.append(";VALUE=text");
        writer.write(head, {&number});
    };
    // The first work phone is the preferred one. The second carries a label,
    // which address books show and which puts it back in its own box even
    // when the first is empty.
    tel(Field::PHONE, "TEL;TYPE=work,voice;PREF=1", "TEL;TYPE=work,voice,pref");
    if (!field(Field::PHONE2).isEmpty()) {
        tel(Field::PHONE2, "item1.TEL;TYPE=work,voice", "item1.TEL;TYPE=work,voice");
        writer.writeRaw("item1.X-ABLabel:PHONE 2");
    }
    tel(Field::CELL, "TEL;TYPE=cell", "TEL;TYPE=cell");
    tel(Field::FAX, "TEL;TYPE=work,fax", "TEL;TYPE=work,fax");
    if (!field(Field::email).isEmpty())
        writer.write(v3 ? "EMAIL;TYPE=internet,work" : "EMAIL;TYPE=work", {&field(Field::email)});
    if (!name.memo.isEmpty()) writer.write("NOTE", {&name.memo});
    const QByteArray uid = exportUid(card).toLatin1();
    writer.writeRaw(v3 ? "UID:" + uid : "UID:urn:uuid:" + uid);
    writer.writeRaw("END:VCARD");
}

} // namespace kestrix
