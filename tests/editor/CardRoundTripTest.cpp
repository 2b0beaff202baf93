// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// What a card file holds comes back exactly: random cards, drawn from all of
// Unicode and from the older 8-bit code page, are each opened through the
// search window into the editor and saved again with Yes. The file must then
// be byte for byte what it was, but for the saved card moving to the end (as
// UTF-8, when it was stored in the older code page).
#include "card/CardLine.h"
#include "cardfile/Module1.h"
#include "editor/Form4.h"
#include "search/Form14.h"
#include "support/CardGenerator.h"
#include "support/TempFolder.h"
#include "windowsupport/ScriptedPlatform.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <set>

namespace kestrix::testing {
namespace {

constexpr int kCards = 200;
constexpr qsizetype kLongField = 100000;

struct StoredLine {
    CardRecord card;
    QByteArray bytes;
    bool codePage = false;
};

// Cards whose number and search entry are each unique, so SELECT and the
// update question each find exactly one card. About one card in eight shares
// its contact name with an earlier one: saving it must leave its namesakes.
std::vector<StoredLine> randomCards(CardGenerator& generate)
{
    std::vector<StoredLine> lines;
    std::set<QString> numbers, entries;
    while (lines.size() < kCards) {
        const int index = static_cast<int>(lines.size());
        const bool codePage = generate.below(10) == 0;
        StoredLine line;
        for (Field field : kAllFields) line.card[indexOf(field)] = generate.field(field == Field::MEMO, codePage);
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
    const unsigned seed = seedFrom("KESTRIX_ROUNDTRIP_SEED", "round-trip");
    CardGenerator generate(seed);
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
