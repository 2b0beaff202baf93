// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The readers as they stream: memory bounded by a card whatever the file's
// size, and a source that fails ending the reading without a made-up card.
#include "exchange/CardExchange.h"
#include "exchange/ContactReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/resource.h>

namespace kestrix::testing {
namespace {

constexpr qsizetype kMiB = 1024 * 1024;

QByteArray vcard(const char* version, const QByteArray& body)
{
    return QByteArray("BEGIN:VCARD\r\nVERSION:") + version + "\r\n" + body + "END:VCARD\r\n";
}

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<qint64>(usage.ru_maxrss) * 1024;
}

// Hands out `pieces` in turn, each a text or a run of one byte, without
// ever holding a run; fails once `failAfter` bytes are out, if it is given.
struct Piece {
    QByteArray text;
    qint64 repeat = 0; // a run of text[0] this long instead
};

ByteSource generated(std::vector<Piece> pieces, qint64 failAfter = -1)
{
    return [pieces = std::move(pieces), failAfter, at = std::size_t(0), offset = qint64(0),
            given = qint64(0)](char* buffer, qsizetype capacity) mutable -> qsizetype {
        if (failAfter >= 0 && given >= failAfter) return -1;
        while (at < pieces.size()) {
            const Piece& piece = pieces[at];
            const qint64 size = piece.repeat > 0 ? piece.repeat : piece.text.size();
            qint64 count = std::min<qint64>(capacity, size - offset);
            if (failAfter >= 0) count = std::min(count, failAfter - given);
            if (count <= 0) {
                ++at;
                offset = 0;
                continue;
            }
            if (piece.repeat > 0)
                std::memset(buffer, piece.text[0], static_cast<std::size_t>(count));
            else
                std::memcpy(buffer, piece.text.constData() + offset, static_cast<std::size_t>(count));
            offset += count;
            given += count;
            return static_cast<qsizetype>(count);
        }
        return 0;
    };
}

std::vector<std::string> drain(ContactReader& reader, std::vector<std::string>& names)
{
    std::vector<std::string> issues;
    for (CardRecord card; reader.next(card);) names.push_back(card[indexOf(Field::CCNAME)].toStdString());
    for (const ImportIssue& issue : reader.takeIssues()) issues.push_back(describeIssue(issue).toStdString());
    return issues;
}

TEST(ContactReading, HoldsNoMoreThanACardWhateverTheFileHolds)
{
    [[maybe_unused]] const qint64 before = peakResidentBytes();
    ContactReader vcards(generated({
        {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:"},
        {"A", 64 * kMiB},
        {"\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big\r\nNOTE:"},
        {"n", 256 * kMiB},
        {"\r\nEND:VCARD\r\n" + vcard("3.0", "FN:After\r\n")},
    }));
    std::vector<std::string> names;
    EXPECT_EQ(drain(vcards, names),
              (std::vector<std::string>{
                  "card 1 (Photo): PHOTO not imported: binary data",
                  "card 2 (Big): not imported: it holds 256 MB, more than the 8 MB a card may hold",
              }));
    EXPECT_EQ(names, (std::vector<std::string>{"Photo", "After"}));

    ContactReader csv(generated({{"Name,Notes\r\nBig,\""}, {"\"", 64 * kMiB}, {"\"\r\nAfter,\r\n"}}));
    names.clear();
    EXPECT_EQ(
        drain(csv, names),
        (std::vector<std::string>{"card 1 (Big): not imported: it holds 64 MB, more than the 8 MB a card may hold"}));
    EXPECT_EQ(names, (std::vector<std::string>{"After"}));
#ifndef __SANITIZE_ADDRESS__ // the sanitizer keeps freed memory in quarantine
    EXPECT_LT(peakResidentBytes() - before, 32 * kMiB);
#endif
}

TEST(ContactReading, ASourceThatFailsEndsTheReadingWithoutAMadeUpCard)
{
    // The first card is longer than what is read to tell the format.
    const QByteArray bytes =
        vcard("3.0", "FN:Whole\r\nNOTE:" + QByteArray(kMiB, 'n') + "\r\n") + vcard("3.0", "FN:Cut short\r\nTEL:1\r\n");
    for (qsizetype failAfter : {qsizetype(0), bytes.size() - 20}) {
        ContactReader reader(generated({{bytes}}, failAfter));
        std::vector<std::string> names;
        EXPECT_TRUE(drain(reader, names).empty());
        EXPECT_TRUE(reader.sourceFailed());
        EXPECT_EQ(names, failAfter == 0 ? std::vector<std::string>() : std::vector<std::string>{"Whole"});
        EXPECT_EQ(reader.recognised(), failAfter > 0);
    }
}

} // namespace
} // namespace kestrix::testing
