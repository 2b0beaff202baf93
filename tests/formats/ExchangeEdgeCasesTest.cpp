// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The corners of the formats, each group a table: how vCards are taken
// apart, what the reader reports, how formats are told apart, and what the
// writers put out byte for byte.
#include "contacts/CardMapping.h"
#include "contacts/PersonName.h"
#include "formats/AddressBlock.h"
#include "formats/CardExchange.h"
#include "support/CaseNames.h"
#include "support/VCardText.h"

#include <QByteArrayList>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

namespace kestrix::testing {
namespace {

// The bytes a row reads. The large ones are made only when their row runs:
// each run of the program makes every row, whichever test it runs.
class Input {
public:
    Input(const char* bytes) : make_([bytes] { return QByteArray(bytes); }) {}
    Input(const QByteArray& bytes) : make_([bytes] { return bytes; }) {}
    explicit Input(QByteArray (*make)()) : make_(make) {}
    QByteArray bytes() const { return make_(); }

private:
    std::function<QByteArray()> make_;
};

struct ReadCase {
    const char* name;
    Input input;
    std::vector<std::pair<Field, const char*>> fields; // of the first card; the others empty
    std::vector<const char*> issueParts = {};          // each found in the report, in order; "(notice) ..." a notice
    std::size_t cards = 1;
};

// Printed for a failing row in place of its bytes, some of them megabytes.
void PrintTo(const ReadCase& test, std::ostream* out)
{
    *out << test.name;
}

std::string nameOf(const ::testing::TestParamInfo<ReadCase>& row)
{
    return caseName(row.param.name);
}

void checkReading(const ReadCase& test)
{
    const ImportResult result = readCards(test.input.bytes());
    ASSERT_TRUE(result.recognised) << result.reason.toStdString();
    ASSERT_EQ(result.cards.size(), test.cards);
    if (test.cards > 0) {
        CardRecord wanted;
        for (const auto& [field, text] : test.fields) wanted[indexOf(field)] = QString::fromUtf8(text);
        for (int i = 0; i < kFieldCount; ++i)
            EXPECT_EQ(result.cards[0][i].toStdString(), wanted[i].toStdString()) << fieldCaption(Field(i)).data();
    }
    ASSERT_EQ(result.issues.size(), test.issueParts.size());
    for (std::size_t i = 0; i < test.issueParts.size(); ++i) {
        QString part = QString::fromUtf8(test.issueParts[i]);
        const bool notice = part.startsWith(QStringLiteral("(notice) "));
        if (notice) part.remove(0, 9);
        EXPECT_TRUE(describeIssue(result.issues[i]).contains(part)) << describeIssue(result.issues[i]).toStdString();
        EXPECT_EQ(result.issues[i].notice, notice) << describeIssue(result.issues[i]).toStdString();
    }
}

std::vector<ReadCase> vcardCases()
{
    using F = Field;
    return {
        {"LF line ends, a tab folding, a byte order mark",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\nVERSION:3.0\nFN:Anna \n\tNowak\nEND:VCARD\n",
         {{F::CCNAME, "Anna Nowak"}}},
        {"2.1 folds at a blank and keeps it", vcard("2.1", "FN:Anna\r\n Nowak\r\n"), {{F::CCNAME, "Anna Nowak"}}},
        {"3.0 escapes; an unknown one stays",
         vcard("3.0", "FN:x\r\nNOTE:a\\nb\\Nc\\,d\\;e\\\\f\\x\r\n"),
         {{F::CCNAME, "x"}, {F::MEMO, "a\nb\nc,d;e\\f\\x"}}},
        {"2.1 has no line break escape",
         vcard("2.1", "FN:x\r\nNOTE:C:\\new\\;\r\n"),
         {{F::CCNAME, "x"}, {F::MEMO, "C:\\new;"}}},
        {"types in each form",
         vcard("3.0",
               "FN:x\r\nTEL;TYPE=\"work,voice\":1\r\nTEL;TYPE=work;TYPE=fax:2\r\nTEL;CELL:3\r\n"
               "TEL;TYPE=pager:4\r\n"),
         {{F::CCNAME, "x"}, {F::PHONE, "1"}, {F::FAX, "2"}, {F::CELL, "3"}, {F::MEMO, "Phone (pager): 4"}}},
        {"what Apple's built-in labels say a number is; the user's own labels stay in the memo",
         vcard("3.0",
               "FN:x\r\nitem1.TEL:1\r\nitem1.X-ABLabel:_$!<Mobile>!$_\r\nitem2.TEL:2\r\n"
               "item2.X-ABLabel:_$!<WorkFAX>!$_\r\nitem3.TEL:3\r\nitem3.X-ABLabel:_$!<Home>!$_\r\n"
               "TEL;TYPE=work:4\r\nitem5.TEL:5\r\nitem5.X-ABLabel:Office\r\nitem6.TEL:6\r\n"
               "item6.X-ABLabel:Boat\r\n"),
         {{F::CCNAME, "x"},
          {F::CELL, "1"},
          {F::FAX, "2"},
          {F::PHONE, "4"},
          {F::PHONE2, "5"},
          {F::MEMO, "Phone (home): 3\nBoat: 6"}}},
        {"the marked line break is a lone CR",
         vcard("4.0", "FN:x\r\nNOTE;X-KESTRIX-CR=2:a\\nb\\nc\r\n"),
         {{F::CCNAME, "x"}, {F::MEMO, "a\nb\rc"}}},
        {"a double quote",
         vcard("4.0", "FN:Anna \"Ania\" Nowak\r\n"),
         {{F::CCNAME, "Anna \u201DAnia\u201D Nowak"}},
         {"card 1 (Anna \u201DAnia\u201D Nowak): a double quote in CONTACT NAME is stored as \u201D"}},
        {"N without FN", vcard("2.1", "N:Nowak;Anna;Maria;Dr.;PhD\r\n"), {{F::CCNAME, "Dr. Anna Maria Nowak PhD"}}},
        {"N that says more than FN",
         vcard("3.0", "FN:Ania\r\nN:Nowak;Anna;;;\r\n"),
         {{F::CCNAME, "Ania"}, {F::MEMO, "Name: Anna Nowak"}}},
        {"N that differs from FN but says nothing more, kept last",
         vcard("3.0", "FN:Ludwig van Beethoven\r\nN:Beethoven;Ludwig;van;;\r\nTITLE:Composer\r\n"),
         {{F::CCNAME, "Ludwig van Beethoven"}, {F::MEMO, "Title: Composer\nName parts: Beethoven; Ludwig; van"}}},
        {"an organisation's card", vcard("4.0", "KIND:org\r\nFN:Acme\r\nORG:Acme\r\n"), {{F::CNAME, "Acme"}}},
        {"a company's card as Apple marks it",
         vcard("3.0", "FN:Acme\r\nN:;;;;\r\nORG:Acme;Sales\r\nX-ABShowAs:COMPANY\r\n"),
         {{F::CNAME, "Acme"}, {F::MEMO, "Department: Sales"}}},
        {"a nameless card's full name repeats its e-mail",
         vcard("4.0", "FN:anna@example.com\r\nN:;;;;\r\nEMAIL:anna@example.com\r\n"),
         {{F::email, "anna@example.com"}}},
        {"an empty N beside a full name that repeats nothing",
         vcard("3.0", "FN:Anna\r\nN:;;;;\r\nEMAIL:anna@example.com\r\n"),
         {{F::CCNAME, "Anna"}, {F::email, "anna@example.com"}}},
        {"no N: the full name is the contact even when it repeats the e-mail",
         vcard("4.0", "FN:anna@example.com\r\nEMAIL:anna@example.com\r\n"),
         {{F::CCNAME, "anna@example.com"}, {F::email, "anna@example.com"}}},
        {"a group's kind the boxes cannot say",
         vcard("4.0", "KIND:group\r\nFN:Team\r\n"),
         {{F::CCNAME, "Team"}, {F::MEMO, "Kind: group"}}},
        {"a card inside a card",
         vcard("2.1", "FN:Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Assistant\r\nEND:VCARD\r\nTEL:1\r\n"),
         {{F::CCNAME, "Boss"}, {F::PHONE, "1"}},
         {"a vCard embedded in this one not imported"}},
        {"no END:VCARD",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut\r\nTEL:1",
         {{F::CCNAME, "Cut"}, {F::PHONE, "1"}},
         {"card 1 (Cut): the file ends before the card does"}},
        {"no END:VCARD, and cards after it",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut\r\nTEL:1\r\n" + vcard("3.0", "FN:B\r\n") + vcard("2.1", "FN:C\r\n"),
         {{F::CCNAME, "Cut"}, {F::PHONE, "1"}},
         {"card 1 (Cut): it has no END:VCARD: it ends where the next card begins"},
         3},
        {"files joined with cat, each with a byte order mark",
         "\xEF\xBB\xBF" + vcard("3.0", "FN:A\r\n") + "\xEF\xBB\xBF" + vcard("3.0", "FN:B\r\n") + "\xEF\xBB\xBF"
             + vcard("4.0", "FN:C\r\n") + "\xEF\xBB\xBF\r\n" + vcard("2.1", "FN:D\r\n"),
         {{F::CCNAME, "A"}},
         {},
         4},
        {"a 20 MB photo is dropped, not counted",
         Input([] {
             return vcard("3.0", "FN:x\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + QByteArray(20 * kMiB, 'A') + "\r\nTEL:1\r\n");
         }),
         {{F::CCNAME, "x"}, {F::PHONE, "1"}},
         {"card 1 (x): PHOTO not imported: binary data"}},
        {"a card larger than a card may be",
         Input([] {
             return vcard("3.0", "FN:Big\r\nNOTE:" + QByteArray(9 * kMiB, 'n') + "\r\n") + vcard("3.0", "FN:Next\r\n");
         }),
         {{F::CCNAME, "Next"}},
         {"card 1 (Big): not imported: it holds 9 MB, more than the 8 MB a card may hold"}},
        {"a card of more properties than a card may have",
         vcard("3.0", "FN:Many\r\n" + QByteArray("X:1\r\n").repeated(70000)) + vcard("3.0", "FN:Next\r\n"),
         {{F::CCNAME, "Next"}},
         {"card 1 (Many): not imported: it has 70002 fields, more than the 65536 a card may have"}},
        {"nothing in it", vcard("4.0", "UID:1\r\nREV:2026\r\n"), {}, {"card 1: holds no contact data"}, 0},
        {"a soft line break before END:VCARD",
         vcard("2.1", "FN:x\r\nNOTE;ENCODING=QUOTED-PRINTABLE:abc=3D=\r\n"),
         {{F::CCNAME, "x"}, {F::MEMO, "abc="}}},
        {"a charset the toolkit does not know",
         vcard("2.1", "FN;CHARSET=X-NONE;QUOTED-PRINTABLE:Caf=E9\r\n"),
         {{F::CCNAME, "Café"}},
         {"(notice) card 1 (Café): not UTF-8, so read as Windows-1252: FN"}},
        {"a charset that gives half a surrogate pair",
         vcard("2.1", "FN;CHARSET=UTF-16LE;ENCODING=QUOTED-PRINTABLE:A=00=3D=D8\r\n"),
         {{F::CCNAME, "A\uFFFD"}}},
        {"bytes that are not UTF-8, value by value",
         vcard("3.0", "FN:Ren\xE9 \x80\r\nNOTE:Zoë\r\nTITLE:G\xE9rant\r\n"),
         {{F::CCNAME, "René €"}, {F::MEMO, "Zoë\nTitle: Gérant"}},
         {"(notice) card 1 (René €): not UTF-8, so read as Windows-1252: FN, TITLE"}},
        {"a line that is no property",
         vcard("3.0", "FN:x\r\nnonsense\r\n"),
         {{F::CCNAME, "x"}},
         {"1 line(s) that are no vCard property skipped"}},
        {"programs' own rows and markers: words where they mean something, else left out",
         vcard("3.0",
               "FN:x\r\nX-MS-OL-DESIGN;CHARSET=utf-8:<card xmlns=\"http://schemas.example/c\"/>\r\n"
               "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Bo;1;;;;;;;;;;;;;\r\n"
               "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Ann;14;;;;;;;;;;;;;\r\n"
               "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2001-06-02;1;;;;;;;;;;;;;\r\n"
               "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;--0504;0;Name day;;;;;;;;;;;;\r\n"
               "X-ANDROID-CUSTOM:vnd.com.example/pet;Rex;;;;;;;;;;;;;;\r\n"
               "BDAY;X-APPLE-OMIT-YEAR=1604:1604-12-24\r\n"),
         {{F::CCNAME, "x"},
          {F::MEMO,
           "Nickname: Bo\nRelated: Ann (spouse)\nAnniversary: 2001-06-02\nName day: --05-04\n"
           "X-ANDROID-CUSTOM: vnd.com.example/pet;Rex\nBirthday: --12-24"}},
         {"(notice) card 1 (x): left out, holding no contact data: Outlook's card design (X-MS-OL-DESIGN)"}},
        {"values with colons and quoted parameters",
         vcard("4.0", "FN:x\r\nURL;TYPE=\"a:b;c\":http://e.x/\r\n"),
         {{F::CCNAME, "x"}, {F::MEMO, "Web (a:b;c): http://e.x/"}}},
    };
}

class VCardReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(VCardReading, TakesEveryFormOfTheStandardsAndReportsWhatItCannot)
{
    checkReading(GetParam());
}

INSTANTIATE_TEST_SUITE_P(, VCardReading, ::testing::ValuesIn(vcardCases()), nameOf);

std::vector<ReadCase> csvCases()
{
    using F = Field;
    return {
        {"files joined with cat, each with its byte order mark and header",
         "\xEF\xBB\xBFName,Phone\r\nAnna,1\r\n\xEF\xBB\xBFName,Phone\r\nBob,2\r\n",
         {{F::CCNAME, "Anna"}, {F::PHONE, "1"}},
         {},
         2},
        {"bytes that are not UTF-8, field by field",
         "Name,Notes,Stra\xDF"
         "e\r\nZoë,Caf\xE9,x\r\n",
         {{F::CCNAME, "Zoë"}, {F::MEMO, "Café\nStraße: x"}},
         {"(notice) card 1 (Zoë): not UTF-8, so read as Windows-1252: the header row, Notes"}},
        {"a row larger than a card may be",
         Input([] { return "Name,Notes\r\nBig,\"" + QByteArray(9 * kMiB, 'n') + "\"\r\nNext,\r\n"; }),
         {{F::CCNAME, "Next"}},
         {"card 1 (Big): not imported: it holds 9 MB, more than the 8 MB a card may hold"}},
        {"a row of more fields than a card may have",
         "Name,Notes\r\nMany" + QByteArray(",x").repeated(70000) + "\r\nNext,\r\n",
         {{F::CCNAME, "Next"}},
         {"card 1 (Many): not imported: it has 70001 fields, more than the 65536 a card may have"}},
    };
}

class CsvReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CsvReading, JoinedFilesAndEncodingsFieldByField)
{
    checkReading(GetParam());
}

INSTANTIATE_TEST_SUITE_P(, CsvReading, ::testing::ValuesIn(csvCases()), nameOf);

TEST(ExchangeFormats, ToldByNameWordAndContent)
{
    for (auto [name, format] : {std::pair{"Kontakte.VCF", std::optional(ExchangeFormat::VCard4)},
                                {"a.vcard", ExchangeFormat::VCard4},
                                {"list.Csv", ExchangeFormat::Csv},
                                {"cards.txt", std::nullopt},
                                {"vcf", std::nullopt}})
        EXPECT_EQ(formatFromFileName(QString::fromUtf8(name)), format) << name;
    for (auto [word, format] : {std::pair{"vcard4", std::optional(ExchangeFormat::VCard4)},
                                {"VCard3", ExchangeFormat::VCard3},
                                {"csv", ExchangeFormat::Csv},
                                {"vcard", std::nullopt}})
        EXPECT_EQ(formatFromWord(QString::fromUtf8(word)), format) << word;

    const std::vector<std::pair<QByteArray, ContentKind>> contents = {
        {vcard("2.1", "FN:x\r\n"), ContentKind::VCard21},
        {"\r\n\r\n" + vcard("3.0", "FN:x\r\n"), ContentKind::VCard3},
        {vcard("4.0", "FN:x\r\n"), ContentKind::VCard4},
        {"\"COMPANY NAME\",\"CONTACT NAME\"\r\n\"a\",\"b\"\r\n", ContentKind::Csv},
        {"First Name;Last Name\r\nAnna;Nowak\r\n", ContentKind::Csv},
        {"\"Acme\",\"Anna Nowak\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"1\"\r\n",
         ContentKind::NotContacts},
        {"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n", ContentKind::NotContacts},
        {"", ContentKind::NotContacts},
        {QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), ContentKind::NotContacts},
    };
    for (const auto& [bytes, kind] : contents) {
        EXPECT_EQ(detectContent(bytes).kind, kind) << bytes.toStdString();
        const ImportResult result = readCards(bytes);
        EXPECT_EQ(result.recognised, kind != ContentKind::NotContacts) << bytes.toStdString();
        if (!result.recognised) {
            EXPECT_FALSE(result.reason.isEmpty());
        }
    }
    // UTF-16, as some Windows programs write it, told by its byte order mark;
    // files joined on, in either byte order, by theirs. UTF-8 without one,
    // as most others write it.
    auto utf16 = [](const char* name, bool littleEndian) {
        QByteArray bytes(littleEndian ? "\xFF\xFE" : "\xFE\xFF", 2);
        for (QChar c : QString::fromUtf8(vcard("3.0", QByteArray("FN:") + name + "\r\n"))) {
            const char low = static_cast<char>(c.unicode() & 0xFF), high = static_cast<char>(c.unicode() >> 8);
            bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
        }
        return bytes;
    };
    const ImportResult result = readCards(utf16("Zoë 😀", true) + utf16("Ann", true) + utf16("Bob", false));
    ASSERT_EQ(result.cards.size(), 3u);
    EXPECT_EQ(result.cards[0][indexOf(Field::CCNAME)], QStringLiteral("Zoë 😀"));
    EXPECT_EQ(result.cards[1][indexOf(Field::CCNAME)], QStringLiteral("Ann"));
    EXPECT_EQ(result.cards[2][indexOf(Field::CCNAME)], QStringLiteral("Bob"));
    const ImportResult plain = readCards(QByteArray("First Name,Last Name\r\nZoë,\r\n"));
    ASSERT_EQ(plain.cards.size(), 1u);
    EXPECT_EQ(plain.cards[0][indexOf(Field::CCNAME)], QStringLiteral("Zoë"));
}

TEST(NameParsing, TitlesParticlesAndTheCommaForm)
{
    // Full name, then family, given, additional, prefix, suffix.
    const std::vector<std::array<const char*, 6>> rows = {
        {"Dr. John Smith Jr.", "Smith", "John", "", "Dr.", "Jr."},
        {"Ludwig van Beethoven", "van Beethoven", "Ludwig", "", "", ""},
        {"Smith, John", "Smith", "John", "", "", ""},
        // A lone name is the family name, the one part X.520 names require.
        {"Nowak", "Nowak", "", "", "", ""},
        {"Prof Dr. Anna Maria von der Leyen, Ph.D.", "von der Leyen", "Anna", "Maria", "Prof Dr.", "Ph.D."},
        {"John Smith Jr., MD", "Smith", "John", "", "", "Jr. MD"},
        {"Mgr Ing. Jan Novák", "Novák", "Jan", "", "Mgr Ing.", ""},
        {"Martin Luther King III", "King", "Martin", "Luther", "", "III"},
        {"van der Berg, Dr. Anna Maria", "van der Berg", "Anna", "Maria", "Dr.", ""},
        {"Jean De La Fontaine", "De La Fontaine", "Jean", "", "", ""},
        {"van Gogh", "van Gogh", "", "", "", ""},
        {"Van Morrison", "Morrison", "Van", "", "", ""},
        {"Anna Iv", "Iv", "Anna", "", "", ""},
        {"Dr. Jr.", "Jr.", "", "", "Dr.", ""},
        {"Smith, Jr.", "Smith", "", "", "", "Jr."},
        {"Smith Jr., Dr. John Paul, MD", "Smith", "John", "Paul", "Dr.", "Jr. MD"},
        {" Anna\tNowak\n", "Nowak", "Anna", "", "", ""},
        // Blanks or commas alone are kept, so a contact always has a part.
        {" , ", " , ", "", "", "", ""},
        {"", "", "", "", "", ""},
    };
    for (const auto& row : rows) {
        const PersonName parts = parseName(QString::fromUtf8(row[0]));
        const std::array<QString, 5> got = {parts.family, parts.given, parts.additional, parts.prefix, parts.suffix};
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].toStdString(), row[i + 1]) << row[0] << ", part " << i;
    }

    // A name of many titles costs no more than their number.
    constexpr int kMany = 100000;
    const PersonName many =
        parseName(QStringLiteral("Dr. ").repeated(kMany) + QStringLiteral("Anna Nowak")
                  + QStringLiteral(" Jr.").repeated(kMany) + QStringLiteral(", MD").repeated(kMany));
    EXPECT_EQ(many.family, QStringLiteral("Nowak"));
    EXPECT_EQ(many.prefix.size(), 4 * kMany - 1);
    EXPECT_EQ(many.suffix.size(), 7 * kMany - 1);

    // The memo's form of the parts reads back exactly; any other spelling
    // of it is no such line.
    const PersonName odd{QStringLiteral("a;b"), QStringLiteral(" c\\d"), QString(), QStringLiteral("e\nf\rg"),
                         QString()};
    const QString text = namePartsText(odd);
    EXPECT_EQ(text.toStdString(), "a\\;b;  c\\\\d; ; e\\nf\\rg");
    EXPECT_EQ(namePartsFromText(text), odd);
    for (const char* other :
         {"", "Smith;John", "Smith; John; ", "Smith; John; ; ; ; x", "Smith\\x", "Smith\\", "a\nb", "; ; "})
        EXPECT_FALSE(namePartsFromText(QString::fromUtf8(other))) << other;
}

CardRecord sampleCard()
{
    CardRecord card;
    card[indexOf(Field::CNAME)] = QStringLiteral("Acme; Inc.");
    card[indexOf(Field::CCNAME)] = QStringLiteral("Anna Maria Nowak");
    card[indexOf(Field::ADDRESS1)] = QStringLiteral("1 Main St");
    card[indexOf(Field::CITY)] = QStringLiteral("Springfield");
    card[indexOf(Field::ST)] = QStringLiteral("IL");
    card[indexOf(Field::ZIP)] = QStringLiteral("62701");
    card[indexOf(Field::PHONE2)] = QStringLiteral("555-0102");
    card[indexOf(Field::FAX)] = QStringLiteral("tel:555-0109");
    card[indexOf(Field::email)] = QStringLiteral("anna@example.com");
    // A hand edit can put a double quote into the card file.
    card[indexOf(Field::MEMO)] = QStringLiteral("First, \"line\"\nback\\slash\rold");
    card[indexOf(Field::RecordNumber)] = QStringLiteral("17");
    return card;
}

TEST(ExchangeWriting, PutsOutWhatTheStandardsAsk)
{
    const CardRecord card = sampleCard();
    const QString uid = exportUid(card);
    const QByteArray v4 = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Anna Maria Nowak\r\nN:Nowak;Anna;Maria;;\r\n"
                          "ORG:Acme\\; Inc.\r\n"
                          "ADR;TYPE=work:;;1 Main St;Springfield;IL;62701;\r\n"
                          "item1.TEL;TYPE=work,voice:555-0102\r\nitem1.X-ABLabel:PHONE 2\r\n"
                          "TEL;TYPE=work,fax;VALUE=text:tel:555-0109\r\nEMAIL;TYPE=work:anna@example.com\r\n"
                          "NOTE;X-KESTRIX-CR=2:First\\, \"line\"\\nback\\\\slash\\nold\r\nUID:urn:uuid:"
        + uid.toLatin1() + "\r\nEND:VCARD\r\n";
    EXPECT_EQ(writeCards({card}, ExchangeFormat::VCard4).toStdString(), v4.toStdString());
    const QByteArray v3 = writeCards({card}, ExchangeFormat::VCard3);
    EXPECT_TRUE(v3.contains("\r\nVERSION:3.0\r\nFN:Anna Maria Nowak\r\nN:Nowak;Anna;Maria;;\r\n")) << v3.toStdString();
    EXPECT_TRUE(v3.contains("\r\nTEL;TYPE=work,fax:tel:555-0109\r\n")) << v3.toStdString();
    EXPECT_TRUE(v3.contains("\r\nUID:" + uid.toLatin1() + "\r\n"));

    // The UID stays while number and contact do.
    CardRecord changed = card;
    changed[indexOf(Field::MEMO)] = QStringLiteral("other");
    EXPECT_EQ(exportUid(changed), uid);
    changed[indexOf(Field::RecordNumber)] = QStringLiteral("18");
    EXPECT_NE(exportUid(changed), uid);
    changed = card;
    changed[indexOf(Field::CCNAME)] = QStringLiteral("Anna Nowak");
    EXPECT_NE(exportUid(changed), uid);

    EXPECT_EQ(
        writeCards({card}, ExchangeFormat::Csv).toStdString(),
        "\xEF\xBB\xBF\"COMPANY NAME\",\"CONTACT NAME\",\"ADDRESS\",\"ADDRESS 2\",\"CITY\",\"ST\",\"ZIP\",\"PHONE\","
        "\"PHONE 2\",\"CELL\",\"FAX\",\"eMAIL\",\"MEMO\",\"Record\"\r\n"
        "\"Acme; Inc.\",\"Anna Maria Nowak\",\"1 Main St\",\"\",\"Springfield\",\"IL\",\"62701\",\"\","
        "\"555-0102\",\"\",\"tel:555-0109\",\"anna@example.com\",\"First, "
        "\"\"line\"\"\r\nback\\slash\rold\",\"17\"\r\n");

    EXPECT_EQ(addressBlock(card).toStdString(),
              "Acme; Inc.\nAnna Maria Nowak\n1 Main St\nSpringfield, IL 62701\n"
              "Phone 2: 555-0102\nFax: tel:555-0109\nE-mail: anna@example.com\n\n"
              "First, \"line\"\nback\\slash\nold\n");
}

TEST(ExchangeWriting, FoldsLongLinesWithoutSplittingACharacter)
{
    CardRecord card;
    // Two-, three- and four-byte characters, so every fold point meets each.
    QString memo;
    for (int i = 0; i < 400; ++i) memo += QString::fromUtf8(i % 3 == 0 ? "é" : i % 3 == 1 ? "€" : "😀");
    card[indexOf(Field::MEMO)] = memo;
    card[indexOf(Field::CCNAME)] = QString(200, QLatin1Char('x'));
    for (ExchangeFormat format : {ExchangeFormat::VCard4, ExchangeFormat::VCard3}) {
        const QByteArray bytes = writeCards({card}, format);
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        const QList<QByteArray> lines = bytes.chopped(2).split('\n');
        int continuations = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            if (i + 1 < lines.size()) {
                ASSERT_TRUE(line.endsWith('\r'));
                line.chop(1);
            }
            EXPECT_LE(line.size(), 75);
            EXPECT_TRUE(QByteArrayView(line).isValidUtf8()) << line.toStdString();
            if (line.startsWith(' ')) ++continuations;
        }
        EXPECT_GT(continuations, 15);
        const ImportResult result = readCards(bytes);
        ASSERT_EQ(result.cards.size(), 1u);
        EXPECT_EQ(result.cards[0][indexOf(Field::MEMO)], memo);
        EXPECT_EQ(result.cards[0][indexOf(Field::CCNAME)], card[indexOf(Field::CCNAME)]);
    }
}

} // namespace
} // namespace kestrix::testing
