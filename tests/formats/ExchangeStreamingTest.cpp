// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

// The readers as they stream: time linear in the input whatever its shape,
// memory bounded by a card whatever the file's size, and a source that fails
// ending the reading without a made-up card.
#include "contacts/InputBytes.h"
#include "formats/CardExchange.h"
#include "formats/ContactReader.h"
#include "support/VCardText.h"
#include "vcard/VCardLines.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/resource.h>

namespace kestrix::testing {
namespace {

QByteArray repeated(const QByteArray& unit, qsizetype bytes)
{
    QByteArray out;
    while (out.size() < bytes) out += unit;
    return out;
}

// `unit`'s "%1" numbered from 1 on, joined with `separator`.
QByteArray numbered(const char* unit, const char* separator, qsizetype bytes)
{
    QByteArray out;
    for (int i = 1; out.size() < bytes; ++i) {
        if (i > 1) out += separator;
        out += QByteArray(unit).replace("%1", QByteArray::number(i));
    }
    return out;
}

// Each was quadratic once: at the size here it took seconds to minutes, or
// ran out of memory. Linear, each reads in a tenth of the limit.
TEST(ContactReading, EveryShapeReadsInLinearTime)
{
    const std::vector<std::pair<const char*, QByteArray>> shapes = {
        {"a full name and name parts of many words",
         vcard("3.0", "FN:" + repeated("ab ", kMiB / 2) + "a\r\nN:" + repeated("a ", kMiB / 2) + ";;;;\r\n")},
        {"quoted-printable named after many parameters, a soft line break every 76 bytes",
         vcard("2.1",
               "NOTE" + repeated(";X-P=1", kMiB / 2)
                   + ";ENCODING=QUOTED-PRINTABLE:" + repeated(QByteArray(75, 'a') + "=\r\n", kMiB / 2) + "x\r\n")},
        {"a line folded where each piece ends in =",
         vcard("3.0", "FN:x\r\nX-A=" + repeated("\r\n x=", 4 * kMiB) + "\r\n")},
        {"many parameters, folded", vcard("3.0", "TEL" + repeated(";X-P=\r\n v", 4 * kMiB) + ":1\r\n")},
        {"as many lone-CR marks as line breaks",
         vcard("4.0", "NOTE;X-KESTRIX-CR=" + numbered("%1", ",", 3 * kMiB) + ":" + repeated("a\\n", kMiB) + "\r\n")},
        {"many grouped properties and their labels",
         // Below the most properties a card may have.
         vcard("3.0", numbered("item%1.TEL:1\r\nitem%1.X-ABLabel:L", "\r\n", kMiB) + "\r\n")},
        {"a compound value of many parts", vcard("3.0", "ADR:" + repeated("a;", kMiB) + "\r\n")},
        {"a long group label for many properties of the group",
         vcard("3.0",
               "FN:x\r\nitem1.X-ABLabel:" + repeated("L", kMiB / 2) + "\r\n" + repeated("item1.TEL:1\r\n", kMiB / 2))},
        {"a long column name for many rows",
         "Name,Notes," + repeated("N", kMiB / 2) + "\r\n" + repeated("x,,y\r\n", kMiB / 2)},
        {"a CSV field of doubled quotes and line breaks",
         "Name,Notes\r\nx,\"" + repeated("ab\"\"c\r\nd\n", 4 * kMiB) + "\"\r\n"},
    };
#ifdef __SANITIZE_ADDRESS__
    constexpr qint64 kLimitMs = 20000;
#else
    constexpr qint64 kLimitMs = 1000;
#endif
    for (const auto& [name, bytes] : shapes) {
        QElapsedTimer timer;
        timer.start();
        const ImportResult result = readCards(bytes);
        const qint64 ms = timer.elapsed();
        EXPECT_FALSE(result.cards.empty()) << name;
        EXPECT_LT(ms, kLimitMs) << name << ": " << bytes.size() / 1024 << " KiB";
    }
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

// The buffer the text goes through keeps to a stretch or two of the source,
// however long the file: it once doubled, now and then, as reads filled
// whatever room it had. Cards of several lengths put the ends of lines at
// every point of a stretch.
TEST(ContactReading, TheInputBufferStaysSmallOverALongFile)
{
    QByteArray cards;
    for (int letters = 1; letters <= 7; ++letters) cards += vcard("3.0", "FN:" + QByteArray(letters, 'x') + "\r\n");
    qint64 given = 0;
    TextInput input([&](char* buffer, qsizetype capacity) -> qsizetype {
        const qint64 count = std::min<qint64>(capacity, 64 * kMiB - given);
        for (qint64 i = 0; i < count; ++i) buffer[i] = cards[(given + i) % cards.size()];
        given += count;
        return static_cast<qsizetype>(count);
    });
    VCardLineReader reader(input);
    QByteArray line;
    VCardLine read;
    qsizetype lines = 0, mostBuffered = 0;
    for (; reader.next(line, read); line.resize(0)) {
        ++lines;
        mostBuffered = std::max(mostBuffered, input.buffered().size());
    }
    EXPECT_GE(lines, 64 * kMiB / cards.size() * 28);
    EXPECT_LT(mostBuffered, 256 * 1024);
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
