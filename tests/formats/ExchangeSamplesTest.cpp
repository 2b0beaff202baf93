// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Files as real programs write them, made by hand from the formats'
// published descriptions (tests/formats/samples): a phone's 2.1 export, an
// address book's 3.0 cards with groups, 4.0 with tel: URIs, photos, and
// CSV from mail programs and spreadsheets. Each must give the cards below,
// field by field, and report what it could not take.
#include "contacts/CardMapping.h"
#include "formats/CardExchange.h"
#include "formats/ContactReader.h"
#include "support/CaseNames.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <ostream>
#include <utility>

namespace kestrix::testing {
namespace {

CardRecord card(std::initializer_list<std::pair<Field, const char*>> fields)
{
    CardRecord record;
    for (const auto& [field, text] : fields) record[indexOf(field)] = QString::fromUtf8(text);
    return record;
}

struct Sample {
    const char* file;
    ContentKind kind;
    std::vector<CardRecord> cards;
    std::vector<const char*> issues; // describeIssue of each, in order
};

std::vector<Sample> samples()
{
    using F = Field;
    return {
        {"phone-2.1.vcf",
         ContentKind::VCard21,
         {card({{F::CNAME, "Müller & Söhne GmbH"},
                {F::CCNAME, "Jürgen Müller"},
                {F::ADDRESS1, "Hauptstraße 12"},
                {F::CITY, "Berlin"},
                {F::ZIP, "10115"},
                {F::PHONE, "+49 30 5550100"},
                {F::CELL, "+49 171 5550101"},
                {F::FAX, "+49 30 5550102"},
                {F::email, "juergen@example.de"},
                {F::MEMO,
                 "Erster Kontakt auf der Messe.\nMag grünen Tee, keinen Kaffee.\nDepartment: Vertrieb\n"
                 "Phone (home): +49 30 5550199\nE-mail: jm@example.org\nCountry: Deutschland"}}),
          card({{F::CCNAME, "Anna Nowak"},
                {F::PHONE, "+48 22 5550100"},
                {F::PHONE2, "+48 22 5550111"},
                {F::MEMO, "Zamówienie złożone"}})},
         {}},
        {"groups-3.0.vcf",
         ContentKind::VCard3,
         {card({{F::CNAME, "Café Olé, SARL"},
                {F::CCNAME, "Dr. Marie-Claire Dupont"},
                {F::ADDRESS1, "12 rue de l'Église"},
                {F::ADDRESS2, "Bâtiment B"},
                {F::CITY, "Besançon"},
                {F::ZIP, "25000"},
                {F::PHONE, "+33 1 55 50 01 00"},
                {F::PHONE2, "+33 1 55 50 01 09"},
                {F::CELL, "+33 6 55 50 01 01"},
                {F::email, "mc.dupont@example.fr"},
                {F::MEMO,
                 "Rencontrée au salon de Lyon. Préfère être contactée le matin; jamais le vendredi.\n"
                 "Deuxième ligne, avec virgule.\nDepartment: Achats\nTitle: Directrice des achats\n"
                 "E-mail (work): achats@example.fr\nCountry: France\n"
                 "HomePage: https://example.fr/\nX-SOCIALPROFILE (linkedin): https://social.example/in/mcdupont\n"
                 "Categories: Clients,Fournisseurs"}})},
         {"card 1 (Dr. Marie-Claire Dupont): left out, holding no contact data: Apple's address format (X-ABADR)"}},
        {"tel-uri-4.0.vcf",
         ContentKind::VCard4,
         {card({{F::CNAME, "Nordwind AB"},
                {F::CCNAME, "Søren Nordwind"},
                {F::ADDRESS1, "Storgatan 1"},
                {F::CITY, "Stockholm"},
                {F::ZIP, "11122"},
                {F::PHONE, "+46-8-555-0101;ext=12"},
                {F::PHONE2, "+46-8-555-0100"},
                {F::CELL, "+46-70-555-0102"},
                {F::FAX, "+46-8-555-0109"},
                {F::email, "soren.home@example.com"},
                {F::MEMO,
                 "Line one\nLine two\nE-mail (work): soren@example.se\n"
                 "Address (home): Hemgatan 3, Uppsala 75320, Sweden\nCountry: Sweden\n"
                 "Birthday: 1980-04-12\nLanguage: sv"}})},
         {}},
        {"photo.vcf",
         ContentKind::VCard3,
         {card({{F::CCNAME, "Photo Person"}, {F::PHONE, "+1 555 0100"}}),
          card({{F::CCNAME, "Old Card"}, {F::PHONE, "+1 555 0101"}}),
          card({{F::CCNAME, "Data Uri"}, {F::MEMO, "Photo: https://example.com/photo.jpg"}})},
         {"card 1 (Photo Person): PHOTO not imported: binary data",
          "card 2 (Old Card): PHOTO not imported: binary data", "card 3 (Data Uri): LOGO not imported: binary data"}},
        {"outlook-bom.csv",
         ContentKind::Csv,
         {card({{F::CNAME, "Acme, Inc."},
                {F::CCNAME, "John Q. Public"},
                {F::ADDRESS1, "1 Main St"},
                {F::ADDRESS2, "Floor 2"},
                {F::CITY, "Springfield"},
                {F::ST, "IL"},
                {F::ZIP, "62701"},
                {F::PHONE, "+1 217 555 0100"},
                {F::CELL, "+1 217 555 0101"},
                {F::FAX, "+1 217 555 0102"},
                {F::email, "john@example.com"},
                {F::MEMO,
                 "Met at the \u201DExpo\u201D, booth 12.\nCall Tuesdays.\nName prefix: Mr.\nSuffix: Jr.\n"
                 "Department: Sales\nTitle: Account Manager\nCountry: United States of America\n"
                 "Business Street 3: Door 7\nHome Phone: +1 217 555 0199\n"
                 "E-mail Display Name: John Public (john@example.com)\nE-mail 2 Address: jqp@example.org\n"
                 "Web: https://example.com"}}),
          card({{F::CCNAME, "Zoë Ångström"}, {F::PHONE2, "+46 8 555 0111"}, {F::MEMO, "Gender: Female"}})},
         {"card 1 (John Q. Public): a double quote in MEMO is stored as \u201D, as the card file cannot hold it"}},
        {"contacts-cp1252.csv",
         ContentKind::Csv,
         {card({{F::CNAME, "Café Sud SARL"},
                {F::CCNAME, "René Café"},
                {F::ADDRESS1, "12 rue Sud"},
                {F::CITY, "Lyon"},
                {F::ZIP, "69002"},
                {F::PHONE, "+33 1 55 50 02 00"},
                {F::PHONE2, "+33 1 55 50 02 01"},
                {F::CELL, "+33 6 55 50 02 02"},
                {F::FAX, "+33 1 55 50 02 09"},
                {F::email, "rene@example.fr"},
                {F::MEMO, "Prix: 20 € l’unité\nE-mail (home): rene.home@example.fr\nCountry: France\nTitle: Gérant"}}),
          card({{F::CCNAME, "Hélène Dubois"}, {F::PHONE, "+33 4 55 50 03 00"}})},
         {"card 1 (René Café): left out, holding no contact data: Google's group of all contacts (* myContacts)",
          "card 1 (René Café): not UTF-8, so read as Windows-1252: Name, Given Name, Family Name, Notes, "
          "Organization 1 - Name, Organization 1 - Title",
          "card 2 (Hélène Dubois): left out, holding no contact data: Google's group of all contacts (* myContacts)",
          "card 2 (Hélène Dubois): not UTF-8, so read as Windows-1252: Given Name"}},
        {"semicolons.csv",
         ContentKind::Csv,
         {card({{F::CNAME, "Acme, Inc."},
                {F::CCNAME, "Anna Nowak"},
                {F::PHONE, "+48 22 555 0100"},
                {F::email, "anna@example.pl"},
                {F::MEMO, "Two lines;\nsecond"}})},
         {}},
    };
}

std::string fieldsOf(const CardRecord& record)
{
    std::string text;
    for (Field field : kAllFields)
        if (const QString& value = record[indexOf(field)]; !value.isEmpty())
            text += "\n  " + std::string(fieldCaption(field).data()) + ": [" + value.toStdString() + "]";
    return text;
}

void PrintTo(const Sample& sample, std::ostream* out)
{
    *out << sample.file;
}

class ExchangeSamples : public ::testing::TestWithParam<Sample> {};

TEST_P(ExchangeSamples, RealProgramsFilesGiveTheirCardsAndReports)
{
    const Sample& sample = GetParam();
    QFile file(QStringLiteral(KESTRIX_EXCHANGE_SAMPLES "/") + QString::fromUtf8(sample.file));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(detectContent(bytes).kind, sample.kind);
    const ImportResult result = readCards(bytes);
    ASSERT_TRUE(result.recognised) << result.reason.toStdString();
    ASSERT_EQ(result.cards.size(), sample.cards.size());
    for (std::size_t i = 0; i < sample.cards.size(); ++i)
        EXPECT_TRUE(result.cards[i] == sample.cards[i])
            << "card " << i + 1 << " read as" << fieldsOf(result.cards[i]) << "\nwanted" << fieldsOf(sample.cards[i]);
    std::vector<std::string> issues;
    for (const ImportIssue& issue : result.issues) issues.push_back(describeIssue(issue).toStdString());
    EXPECT_EQ(issues, std::vector<std::string>(sample.issues.begin(), sample.issues.end()));

    // A few bytes at a time, so a line break, a byte order mark or a
    // character falls across the stretches read, the same comes out.
    qsizetype at = 0;
    ContactReader reader([&](char* buffer, qsizetype capacity) {
        const qsizetype count = std::min({capacity, 1 + at % 7, bytes.size() - at});
        std::memcpy(buffer, bytes.constData() + at, static_cast<std::size_t>(count));
        at += count;
        return count;
    });
    std::vector<CardRecord> cards;
    for (CardRecord card; reader.next(card);) cards.push_back(card);
    std::vector<std::string> streamedIssues;
    for (const ImportIssue& issue : reader.takeIssues()) streamedIssues.push_back(describeIssue(issue).toStdString());
    EXPECT_EQ(reader.kind(), sample.kind);
    EXPECT_TRUE(cards == result.cards);
    EXPECT_EQ(streamedIssues, issues);
    EXPECT_EQ(reader.consumed(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(, ExchangeSamples, ::testing::ValuesIn(samples()),
                         [](const auto& row) { return caseName(row.param.file); });

} // namespace
} // namespace kestrix::testing
