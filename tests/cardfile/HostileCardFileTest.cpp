// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// Damaged and hand-made card files: each reads to its end without crashing,
// with memory bounded by the largest single item rather than the file.
#include "cardfile/Module1.h"
#include "cardfile/StoredCard.h"
#include "files/FileStatus.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <sys/resource.h>

namespace kestrix::testing {
namespace {

constexpr qint64 kMiB = 1024 * 1024;

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<qint64>(usage.ru_maxrss) * 1024;
}

// Writes the file a chunk at a time, so the test itself stays small.
void writeStreamed(const QString& path, const std::function<void(QFile&)>& produce)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    produce(file);
}

void repeat(QFile& file, char byte, qint64 count)
{
    const QByteArray chunk(kMiB, byte);
    for (; count >= kMiB; count -= kMiB) file.write(chunk);
    file.write(chunk.left(count));
}

struct Scan {
    std::vector<std::vector<qsizetype>> itemSizes; // per card, per field
    QString recordNumber;
    qint64 peakGrowth = 0;
};

Scan scan(const TempFolder& folder)
{
    Module1 module(folder.path());
    module.RecordNumber = QStringLiteral("unchanged");
    const qint64 before = peakResidentBytes();
    Scan result;
    const FileStatus scanned = module.ScanCards(false, [&](const StoredCard& card, const QString&) {
        std::vector<qsizetype> sizes;
        sizes.reserve(static_cast<size_t>(card.itemCount()));
        for (Field field : kAllFields)
            if (indexOf(field) < card.itemCount()) sizes.push_back(card.raw(field).size());
        result.itemSizes.push_back(sizes);
        return Module1::ScanStep::Next;
    });
    EXPECT_TRUE(scanned.ok()) << scanned.describe().toStdString();
    result.peakGrowth = peakResidentBytes() - before;
    result.recordNumber = module.RecordNumber;
    return result;
}

TEST(HostileCardFile, HugeItemsReadWithMemoryBoundedByTheItem)
{
    TempFolder folder;
    const QString path = folder.pathOf(QStringLiteral("kest1.dat"));

    // 50 MB on one line, without a comma or a quote: one card of one item.
    writeStreamed(path, [](QFile& file) { repeat(file, 'x', 50 * kMiB); });
    Scan result = scan(folder);
    ASSERT_EQ(result.itemSizes.size(), 1u);
    EXPECT_EQ(result.itemSizes[0], std::vector<qsizetype>{50 * kMiB});
    EXPECT_EQ(result.recordNumber, QStringLiteral("unchanged"));
#ifndef __SANITIZE_ADDRESS__ // the sanitizer keeps freed memory in quarantine
    EXPECT_LT(result.peakGrowth, 2 * 50 * kMiB + 16 * kMiB);
#endif

    // A 10 MB memo with line breaks inside its quotes, then a normal card.
    writeStreamed(path, [](QFile& file) {
        file.write("\"a\",\"b\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"");
        for (int i = 0; i < 10 * 1024; ++i) file.write(QByteArray(1022, 'm') + "\r\n");
        file.write("\",\"7\"\r\n\"c\",\"d\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"8\"\r\n");
    });
    result = scan(folder);
    ASSERT_EQ(result.itemSizes.size(), 2u);
    EXPECT_EQ(result.itemSizes[0][indexOf(Field::MEMO)], 10 * kMiB);
    EXPECT_EQ(result.recordNumber, QStringLiteral("8"));
}

TEST(HostileCardFile, BrokenShapesReadToTheEnd)
{
    TempFolder folder;
    const QString path = folder.pathOf(QStringLiteral("kest1.dat"));

    writeStreamed(path, [](QFile& file) { repeat(file, '\0', 3 * kMiB); });
    Scan result = scan(folder);
    ASSERT_EQ(result.itemSizes.size(), 1u);
    EXPECT_EQ(result.itemSizes[0], std::vector<qsizetype>{3 * kMiB});

    // An unterminated quote runs to the end of the file.
    folder.write(QStringLiteral("kest1.dat"), "\"a\",\"b\r\nc,d");
    result = scan(folder);
    ASSERT_EQ(result.itemSizes.size(), 1u);
    EXPECT_EQ(result.itemSizes[0], (std::vector<qsizetype>{1, 6}));

    // Fourteen items on fourteen lines make one card.
    QByteArray lines;
    for (int i = 1; i <= 14; ++i) lines += "\"" + QByteArray::number(i) + "\"\r\n";
    folder.write(QStringLiteral("kest1.dat"), lines);
    result = scan(folder);
    ASSERT_EQ(result.itemSizes.size(), 1u);
    EXPECT_EQ(result.itemSizes[0].size(), 14u);
    EXPECT_EQ(result.recordNumber, QStringLiteral("14"));
}

} // namespace
} // namespace kestrix::testing
