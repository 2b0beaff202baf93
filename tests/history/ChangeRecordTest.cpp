// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "history/ChangeRecord.h"

#include <QByteArrayList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <random>

namespace kestrix::testing {
namespace {

// Cards as stored, with what a record must not trip over: line ends of
// both kinds, bytes that are not UTF-8, the mark that starts a record.
QByteArray randomCard(std::mt19937& random)
{
    static const QByteArrayList parts = {"\"Ann\",", "\"Blue Harbor\",",   "\r\n", "\n",      "\"memo\r\nline\",",
                                         "\xE9\xFF", "KESTRIX-CHANGE 1\n", "end ", "- 3 4\n", ""};
    QByteArray card;
    for (int n = std::uniform_int_distribution<int>(0, 6)(random); n > 0; --n)
        card += parts[std::uniform_int_distribution<qsizetype>(0, parts.size() - 1)(random)];
    return card + "\r\n";
}

ChangeRecord randomRecord(std::mt19937& random, qint64 sequence)
{
    ChangeRecord record;
    record.computer = "0123456789abcdef0123456789abcdef";
    record.id = "c" + QByteArray::number(sequence);
    record.when = QDateTime::fromMSecsSinceEpoch(1'796'000'000'000 + sequence * 61'001, QTimeZone::utc());
    record.command = sequence % 2 ? QStringLiteral("Delete") : QStringLiteral("Import");
    record.subject = QString::fromUtf8("Zoë \"Clark\"\n%20 100%");
    if (sequence % 3 == 0) record.undoes = "c" + QByteArray::number(sequence - 1);
    record.before = {64769, 1000 + static_cast<quint64>(sequence), sequence * 100};
    record.after = {64769, 2000 + static_cast<quint64>(sequence), sequence * 100 + 7};
    for (int n = std::uniform_int_distribution<int>(0, 4)(random); n > 0; --n)
        record.removed.push_back({std::uniform_int_distribution<qint64>(0, 9)(random), randomCard(random)});
    for (int n = std::uniform_int_distribution<int>(0, 4)(random); n > 0; --n)
        record.added.push_back({std::uniform_int_distribution<qint64>(0, 9)(random), randomCard(random)});
    return record;
}

} // namespace

// A history file is appended to by changes that a kill or a power cut may
// stop at any byte: whatever is read back is a whole record as written, or
// nothing, and the records before and after a damaged one still count.
TEST(ChangeRecord, ReadBackWholeOrNotAtAll)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    for (int round = 0; round < 20; ++round) {
        std::vector<ChangeRecord> written;
        QByteArray file;
        std::vector<qsizetype> ends;
        for (qint64 sequence = 1; sequence <= 4; ++sequence) {
            written.push_back(randomRecord(random, sequence));
            file += encodeRecord(written.back());
            ends.push_back(file.size());
        }
        qsizetype damaged = -1;
        ASSERT_EQ(decodeRecords(file, &damaged), written);
        EXPECT_EQ(damaged, 0);

        // Cut anywhere in the last record: the first three stay, nothing more.
        const std::vector<ChangeRecord> firstThree(written.begin(), written.end() - 1);
        for (qsizetype cut = ends[2]; cut < ends[3]; ++cut)
            ASSERT_EQ(decodeRecords(QByteArrayView(file).first(cut)), firstThree) << "cut at " << cut;

        // One byte changed in the second record: it alone is lost.
        const qsizetype at = std::uniform_int_distribution<qsizetype>(ends[0], ends[1] - 1)(random);
        QByteArray changed = file;
        changed[at] = static_cast<char>(changed[at] ^ 0x21);
        std::vector<ChangeRecord> others = written;
        others.erase(others.begin() + 1);
        ASSERT_EQ(decodeRecords(changed, &damaged), others) << "byte " << at - ends[0] << " of the second";
        EXPECT_EQ(damaged, 1);
    }
}

} // namespace kestrix::testing
