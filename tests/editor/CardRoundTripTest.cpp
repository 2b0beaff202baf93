// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What a card file holds comes back exactly: random cards, drawn from all of
// Unicode and from the older 8-bit code page, are each opened through the
// search window into the editor and saved again with Yes. The file must then
// be byte for byte what it was, but for the saved card moving to the end (as
// UTF-8, when it was stored in the older code page).
#include "editor/Form4.h"
#include "platform/ScriptedPlatform.h"
#include "search/Form14.h"
#include "storage/CardLine.h"
#include "storage/Module1.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <numeric>
#include <random>
#include <set>

namespace kestrix::testing {
namespace {

constexpr int kCards = 200;
constexpr qsizetype kLongField = 100000;

// Characters a text box or a decoder is most likely to change.
constexpr char32_t kTricky[] = {
    U' ',     U'\t',  U',',   0x00A0, 0x2028, 0x2029, 0xFDD0, 0xFDD1, 0xFEFF, 0x0301,
    0x20DD,   0x200F, 0x202E, 0x0000, 0x0085, 0x000B, 0xFFFC, 0xFFFE, 0xFFFF, 0x1F600,
    0x10FFFF, 0x0E01, 0x0E48, 0x05D0, 0x0627, 0x3000, 0x00AD, 0x200B, 0x2060, 0x1D11E,
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // One character of all of Unicode, but a double quote (the format has no
    // escape for it), a surrogate half or a line break.
    char32_t anyCharacter()
    {
        switch (below(10)) {
        case 0:
        case 1:
        case 2:
            return pickExcept(0x20, 0x7E);
        case 3:
            return kTricky[below(std::size(kTricky))];
        case 4:
            return pickExcept(0x00, 0x1F);
        case 5:
            return pickExcept(0x0300, 0x036F);
        case 6:
            return pickExcept(0x10000, 0x10FFFF);
        default:
            return pickExcept(0x80, 0xFFFF);
        }
    }

    // One character that the older 8-bit code page can store.
    char32_t codePageCharacter()
    {
        for (;;) {
            const char32_t c = kCodePage[below(256)];
            if (c != U'"' && c != U'\r' && c != U'\n') return c;
        }
    }

    // A field: often empty, sometimes with blanks at its ends, now and then
    // longer than a box shows.
    QString field(bool memo, bool codePage)
    {
        if (below(5) == 0) return {};
        const qsizetype length = below(100) == 0 ? below(2000) + 1 : below(24) + 1;
        return text(length, memo, codePage);
    }

    QString text(qsizetype length, bool memo, bool codePage)
    {
        QString text;
        if (below(6) == 0) text += QLatin1Char(' ');
        for (qsizetype count = 0; count < length; ++count) {
            // A memo's line break is stored as CR LF and shown as one line feed.
            // One character at a time: a conversion from UTF-32 would drop a
            // byte order mark at the start.
            if (memo && below(12) == 0)
                text += QLatin1Char('\n');
            else
                text += QChar::fromUcs4(codePage ? codePageCharacter() : anyCharacter());
        }
        if (below(6) == 0) text += QLatin1Char(' ');
        return text;
    }

    static const std::array<char32_t, 256> kCodePage;

private:
    char32_t pickExcept(char32_t first, char32_t last)
    {
        for (;;) {
            const auto c = static_cast<char32_t>(std::uniform_int_distribution<quint32>(first, last)(random_));
            const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
            if (!surrogate && c != U'"' && c != U'\r' && c != U'\n') return c;
        }
    }

    std::mt19937 random_;
};

// Windows-1252: Latin-1 but for 0x80 to 0x9F. Written out here rather than
// taken from the program, so a wrong entry there shows.
const std::array<char32_t, 256> Generator::kCodePage = [] {
    std::array<char32_t, 256> table{};
    for (char32_t byte = 0; byte < 256; ++byte) table[byte] = byte;
    const char32_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    for (int i = 0; i < 32; ++i) table[0x80 + i] = high[i];
    return table;
}();

// The code page bytes of `text`, or nothing when they would read back as
// UTF-8 (or as plain ASCII, which is no test of the code page).
std::optional<QByteArray> inCodePage(const QString& text)
{
    QByteArray bytes;
    for (char32_t c : text.toUcs4()) {
        if (c == U'\n') {
            bytes += "\r\n";
            continue;
        }
        const auto* at = std::find(Generator::kCodePage.begin(), Generator::kCodePage.end(), c);
        bytes += static_cast<char>(at - Generator::kCodePage.begin());
    }
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char b) { return (b & 0x80) == 0; });
    const bool validUtf8 = QString::fromUtf8(bytes).toUtf8() == bytes;
    if (!ascii && validUtf8) return std::nullopt;
    return bytes;
}

struct StoredLine {
    CardRecord card;
    QByteArray bytes;
    bool codePage = false;
};

// Cards whose number and search entry are each unique, so SELECT and the
// update question each find exactly one card. About one card in eight shares
// its contact name with an earlier one: saving it must leave its namesakes.
std::vector<StoredLine> randomCards(Generator& generate)
{
    std::vector<StoredLine> lines;
    std::set<QString> numbers, entries;
    while (lines.size() < kCards) {
        const int index = static_cast<int>(lines.size());
        const bool codePage = generate.below(10) == 0;
        StoredLine line;
        for (int i = 0; i < kFieldCount; ++i)
            line.card[i] = generate.field(static_cast<Field>(i) == Field::MEMO, codePage);
        // Every run holds fields of the full length in a single-line box, in
        // the contact name (and so in the search list) and in the memo.
        if (index < 3) {
            const Field longOne = std::array{Field::CNAME, Field::CCNAME, Field::MEMO}[index];
            line.card[indexOf(longOne)] = generate.text(kLongField, longOne == Field::MEMO, codePage);
        }
        line.codePage = codePage;
        if (index >= 3 && generate.below(8) == 0) {
            const StoredLine& namesake = lines[generate.below(index)];
            if (namesake.codePage == codePage)
                line.card[indexOf(Field::CCNAME)] = namesake.card[indexOf(Field::CCNAME)];
        }
        const QString& number = line.card[indexOf(Field::RecordNumber)];
        const QString& contact = line.card[indexOf(Field::CCNAME)];
        const QString entry = number + QStringLiteral("  ") + contact;
        if (numbers.count(number) || entries.count(entry)) continue;

        if (codePage) {
            for (int i = 0; i < kFieldCount; ++i) {
                if (i > 0) line.bytes += ',';
                const std::optional<QByteArray> item = inCodePage(line.card[i]);
                if (!item) break;
                line.bytes += '"' + *item + '"';
            }
            if (line.bytes.count('"') != 2 * kFieldCount) continue;
            line.bytes += "\r\n";
        } else {
            line.bytes = cardLine(line.card);
        }
        numbers.insert(number);
        entries.insert(entry);
        lines.push_back(line);
    }
    return lines;
}

QByteArray joined(const std::vector<StoredLine>& cards, const std::vector<int>& fileOrder)
{
    QByteArray bytes;
    for (int index : fileOrder) bytes += cards[index].bytes;
    return bytes;
}

// Where two texts part, for a readable failure with texts of any length.
std::string firstDifference(const QString& got, const QString& wanted)
{
    qsizetype at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) ++at;
    auto unitAt = [at](const QString& text) {
        return at < text.size() ? QString::number(text[at].unicode(), 16) : QStringLiteral("end");
    };
    return QStringLiteral("at %1 of %2/%3: U+%4 where U+%5 was wanted")
        .arg(at)
        .arg(got.size())
        .arg(wanted.size())
        .arg(unitAt(got), unitAt(wanted))
        .toStdString();
}

TEST(CardRoundTrip, EveryCardOpenedAndSavedAgainComesBackExactly)
{
    const unsigned seed = qEnvironmentVariableIsSet("KESTRIX_ROUNDTRIP_SEED")
        ? qEnvironmentVariableIntValue("KESTRIX_ROUNDTRIP_SEED")
        : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
    std::cout << "round-trip seed: " << seed << " (set KESTRIX_ROUNDTRIP_SEED to repeat)" << std::endl;
    Generator generate(seed);
    std::vector<StoredLine> cards = randomCards(generate);
    std::vector<int> fileOrder(cards.size());
    std::iota(fileOrder.begin(), fileOrder.end(), 0);

    TempFolder folder;
    folder.write(QStringLiteral("kest1.dat"), joined(cards, fileOrder));
    Module1 module(folder.path());
    ScriptedPlatform platform;
    Form4 editor(module, platform);
    editor.show();

    // In a random order; each saved card moves to the end, now as UTF-8.
    std::vector<int> order = fileOrder;
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    for (int index : order) {
        const CardRecord& card = cards[index].card;
        const QString entry = card[indexOf(Field::RecordNumber)] + QStringLiteral("  ") + card[indexOf(Field::CCNAME)];
        SCOPED_TRACE(::testing::Message() << "card " << index << ", seed " << seed);

        QApplication::setActiveWindow(&editor);
        ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isActiveWindow(); }));
        editor.Command5->click();
        const QPointer<Form14> search = editor.findChild<Form14*>();
        ASSERT_TRUE(search && QTest::qWaitFor([&] { return search->Combo1->hasFocus(); }));
        const int row = search->Combo1->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(row, 0) << "not in the list";
        search->Combo1->setCurrentIndex(row);
        ASSERT_TRUE(search->Combo1->currentText() == entry) << firstDifference(search->Combo1->currentText(), entry);
        search->Command1->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return search.isNull(); })) << "the search window stays open";
        const CardRecord loaded = editor.card();
        for (int i = 0; i < kFieldCount; ++i)
            ASSERT_TRUE(loaded[i] == card[i]) << "loaded field " << i + 1 << " " << firstDifference(loaded[i], card[i]);

        platform.shown.clear();
        platform.answers = {MessageAnswer::Yes};
        editor.Command1->click();
        ASSERT_EQ(platform.shown.size(), 2u);
        ASSERT_EQ(platform.shown[1].text, QStringLiteral("record saved"));

        cards[index].bytes = cardLine(card);
        fileOrder.erase(std::find(fileOrder.begin(), fileOrder.end(), index));
        fileOrder.push_back(index);
        ASSERT_TRUE(folder.read(QStringLiteral("kest1.dat")) == joined(cards, fileOrder)) << "card file differs";
    }
}

} // namespace
} // namespace kestrix::testing
