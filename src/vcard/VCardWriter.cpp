// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "VCardWriter.h"

#include "PropertyWriter.h"
#include "VCardMemoLines.h"
#include "VCardStream.h"
#include "contacts/CardMapping.h"
#include "contacts/InputBytes.h"
#include "contacts/PersonName.h"

#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

namespace kestrix {

namespace {

using vcard::LiftedLine;
using vcard::MemoLines;
using vcard::PropertyWriter;

// What a card's export writes, with the memo lines at its end that leave
// the note for properties of their own.
class CardWriter {
public:
    CardWriter(QByteArray& out, const CardRecord& card, bool v3) : writer_(out), card_(card), v3_(v3) {}

    void write(const WrittenName& name, const MemoLines& memo, qsizetype lifted);

private:
    void writeNames(const WrittenName& name);
    const QString& field(Field f) const { return card_[indexOf(f)]; }
    void writeOrganization(const QString* department);
    void writeAddress(const QString* poBox, const QString* country);
    void writePhones();
    void writeTel(Field f, const char* v4Head, const char* v3Head);
    void writeLifted(const std::vector<LiftedLine>& lines);

    PropertyWriter writer_;
    const CardRecord& card_;
    bool v3_;
    const QString none_;
};

void CardWriter::write(const WrittenName& name, const MemoLines& memo, qsizetype lifted)
{
    writer_.writeRaw("BEGIN:VCARD");
    writer_.writeRaw(v3_ ? "VERSION:3.0" : "VERSION:4.0");
    writeNames(name);
    const std::vector<LiftedLine> lines = memo.lastLines(lifted);
    auto liftedInto = [&](LiftedLine::Into into) {
        return std::any_of(lines.begin(), lines.end(), [into](const LiftedLine& line) { return line.into == into; });
    };
    // An organisation's units and an address's country go where their memo
    // lines stood, so the import puts the lines back in their order.
    if (!liftedInto(LiftedLine::Into::Department)) writeOrganization(nullptr);
    if (!liftedInto(LiftedLine::Into::PoBox) && !liftedInto(LiftedLine::Into::Country)) writeAddress(nullptr, nullptr);
    writePhones();
    if (!field(Field::email).isEmpty())
        writer_.write(v3_ ? "EMAIL;TYPE=internet,work" : "EMAIL;TYPE=work", {field(Field::email)});
    const QString note = lifted > 0 ? memo.noteWithout(lifted) : name.memo;
    if (!note.isEmpty()) writer_.write("NOTE", {note});
    writeLifted(lines);
    const QByteArray uid = exportUid(card_).toLatin1();
    writer_.writeRaw(v3_ ? "UID:" + uid : "UID:urn:uuid:" + uid);
    writer_.writeRaw("END:VCARD");
}

// FN is required and never empty: the contact; for a company's own card
// the company, the card marked as an organisation's so that it does not
// read back as the contact; for a card of neither, a stand-in.
void CardWriter::writeNames(const WrittenName& name)
{
    const QString& contact = field(Field::CCNAME);
    const QString& company = field(Field::CNAME);
    const bool companyCard = contact.isEmpty() && !company.isEmpty();
    if (companyCard && !v3_) writer_.writeRaw("KIND:org");
    const QString standIn = contact.isEmpty() && company.isEmpty() ? nameStandIn(card_) : QString();
    writer_.write("FN", {!contact.isEmpty() ? contact : companyCard ? company : standIn});
    // N, which 3.0 demands, lets an address book sort by family name.
    const PersonName& parts = name.parts;
    writer_.write("N", {parts.family, parts.given, parts.additional, parts.prefix, parts.suffix});
}

void CardWriter::writeOrganization(const QString* department)
{
    if (!department) {
        if (!field(Field::CNAME).isEmpty()) writer_.write("ORG", {field(Field::CNAME)});
    } else {
        // The import joins the units with a comma and a blank.
        QStringList units = department->split(QStringLiteral(", "));
        units.prepend(field(Field::CNAME));
        writer_.write("ORG", units);
    }
    // Apple's mark of a company's own card, which other address books read too.
    if (v3_ && field(Field::CCNAME).isEmpty() && !field(Field::CNAME).isEmpty()) writer_.writeRaw("X-ABShowAs:COMPANY");
}

void CardWriter::writeAddress(const QString* poBox, const QString* country)
{
    if (!poBox && !country && field(Field::ADDRESS1).isEmpty() && field(Field::ADDRESS2).isEmpty()
        && field(Field::CITY).isEmpty() && field(Field::ST).isEmpty() && field(Field::ZIP).isEmpty())
        return;
    writer_.write("ADR;TYPE=work",
                  {poBox ? *poBox : none_, field(Field::ADDRESS2), field(Field::ADDRESS1), field(Field::CITY),
                   field(Field::ST), field(Field::ZIP), country ? *country : none_});
}

// A text that itself starts with "tel:" must not pass for a tel: URI.
void CardWriter::writeTel(Field f, const char* v4Head, const char* v3Head)
{
    const QString& number = field(f);
    if (number.isEmpty()) return;
    QByteArray head = v3_ ? QByteArray(v3Head) : QByteArray(v4Head);
    if (!v3_ && number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) head.append(";VALUE=text");
    writer_.write(head, {number});
}

void CardWriter::writePhones()
{
    // The first work phone is the preferred one. The second carries a label,
    // which address books show and which puts it back in its own box even
    // when the first is empty.
    writeTel(Field::PHONE, "TEL;TYPE=work,voice;PREF=1", "TEL;TYPE=work,voice,pref");
    if (!field(Field::PHONE2).isEmpty()) {
        writeTel(Field::PHONE2, "item1.TEL;TYPE=work,voice", "item1.TEL;TYPE=work,voice");
        writer_.writeRaw("item1.X-ABLabel:PHONE 2");
    }
    writeTel(Field::CELL, "TEL;TYPE=cell", "TEL;TYPE=cell");
    writeTel(Field::FAX, "TEL;TYPE=work,fax", "TEL;TYPE=work,fax");
}

void CardWriter::writeLifted(const std::vector<LiftedLine>& lines)
{
    using Into = LiftedLine::Into;
    const QString *poBox = nullptr, *country = nullptr;
    for (const LiftedLine& line : lines) {
        if (line.into == Into::PoBox) poBox = &line.value;
        if (line.into == Into::Country) country = &line.value;
    }
    bool addressWritten = false;
    for (const LiftedLine& line : lines) {
        switch (line.into) {
        case Into::Property:
            if (!v3_ && line.head.startsWith("TEL")
                && line.value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
                writer_.write(line.head + ";VALUE=text", {line.value});
            else
                writer_.write(line.head, {line.value}, line.keepsCommas, line.keepsSemicolons);
            break;
        case Into::Department:
            writeOrganization(&line.value);
            break;
        case Into::PoBox:
        case Into::Country:
            if (!addressWritten) writeAddress(poBox ? poBox : &none_, country ? country : &none_);
            addressWritten = true;
            break;
        }
    }
}

// Whether `written`, read back as an import reads it, gives `card` back in
// every field but its number.
bool readsBack(QByteArrayView written, const CardRecord& card)
{
    TextInput input(written);
    VCardCards cards(input);
    CardRecord back;
    std::vector<ImportIssue> issues;
    if (!cards.findFirstCard() || !cards.next(back, issues)) return false;
    for (int i = 0; i < kFieldCount; ++i)
        if (i != indexOf(Field::RecordNumber) && back[i] != card[i]) return false;
    return true;
}

} // namespace

void appendVCard(QByteArray& out, const CardRecord& card, ExchangeFormat version)
{
    const bool v3 = version == ExchangeFormat::VCard3;
    // A "Name parts" line, last in the memo, gives N; the lines before it
    // may leave the note too.
    const WrittenName name = writtenName(card[indexOf(Field::CCNAME)], card[indexOf(Field::MEMO)]);
    const vcard::MemoLines memo(name.memo, v3);
    // Memo lines leave the note only where the import puts them back as
    // they were: fewer are tried, then none, when the card would not come
    // back exactly.
    const qsizetype mark = out.size();
    qsizetype lifted = memo.liftable();
    for (int tries = 0;; ++tries) {
        CardWriter(out, card, v3).write(name, memo, lifted);
        if (lifted == 0 || readsBack(QByteArrayView(out).sliced(mark), card)) return;
        out.truncate(mark);
        lifted = tries < 2 ? lifted - 1 : 0;
    }
}

} // namespace kestrix
