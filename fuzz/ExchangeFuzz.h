// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "formats/CardExchange.h"
#include "formats/ContactReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

namespace kestrix {

// What every import must give, whatever its input: cards without a record
// number or a double quote (the card file cannot hold one), a report that
// names a position in the file, and cards that Kestrix's own export of them
// gives back exactly, with nothing to report.
inline void checkImport(const ImportResult& result, ExchangeFormat exportFormat,
                        ImportResult (*read)(QByteArrayView bytes))
{
    if (!result.recognised) {
        if (result.reason.isEmpty() || !result.cards.empty()) std::abort();
        return;
    }
    for (const CardRecord& card : result.cards) {
        if (!card[indexOf(Field::RecordNumber)].isEmpty()) std::abort();
        for (const QString& field : card)
            if (field.contains(QLatin1Char('"'))) std::abort();
    }
    for (const ImportIssue& issue : result.issues)
        if (issue.card < 1 || issue.reason.isEmpty()) std::abort();

    if (result.cards.empty()) return; // an export of no cards is no file of contacts
    const ImportResult again = read(writeCards(result.cards, exportFormat));
    if (!again.recognised || !again.issues.empty() || again.cards != result.cards) std::abort();
}

// What a reader takes from `bytes` handed over a few bytes at a time, the
// first byte saying how many, so that line breaks, byte order marks and
// characters fall across the stretches at every point.
inline ImportResult readStreamed(QByteArrayView bytes, ExchangeFormat format)
{
    const qsizetype stretch = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.front()) % 16;
    qsizetype at = 0;
    ContactReader reader(
        [&](char* buffer, qsizetype capacity) {
            const qsizetype count = std::min({capacity, stretch, bytes.size() - at});
            if (count > 0) std::memcpy(buffer, bytes.data() + at, static_cast<std::size_t>(count));
            at += count;
            return count;
        },
        format);
    ImportResult result;
    result.recognised = reader.recognised();
    result.reason = reader.reason();
    for (CardRecord card; reader.next(card);) result.cards.push_back(card);
    result.issues = reader.takeIssues();
    if (reader.recognised() && reader.consumed() != bytes.size()) std::abort();
    return result;
}

// One input in kAmplifyOneIn, told by a hash of its bytes (so a failure
// repeats), is also read grown large: every piece of it that ends in one
// delimiter, the hash says which, is repeated, the pieces being what stands
// between one delimiter and the next. So the lines, parameters, words, name
// parts, components or fields it holds grow many times over, all at once.
// It is read grown to kAmplifiedBytes / 8 and to kAmplifiedBytes: a linear
// reader takes about eight times as long for the second, a quadratic one
// sixty-four. Processor time is compared, which another process busy on the
// machine does not change; a small margin allows for the allocator's
// housekeeping. The dictionaries put the delimiters where they matter.
// Built with -DKESTRIX_AMPLIFY_ONE_IN=1, a target grows every input: run
// on a corpus's files, it checks them all.
#ifndef KESTRIX_AMPLIFY_ONE_IN
#define KESTRIX_AMPLIFY_ONE_IN 4000
#endif
inline constexpr std::uint64_t kAmplifyOneIn = KESTRIX_AMPLIFY_ONE_IN;
inline constexpr qsizetype kAmplifiedBytes = 256 * 1024;
inline constexpr char kDelimiters[] = "\n;, :=\"";

// Calls `each` with every piece of `bytes`, up to and with a delimiter, and
// with what is left after the last.
template <typename Each>
void forEachPiece(QByteArrayView bytes, Each each)
{
    const QByteArrayView delimiters(kDelimiters);
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (delimiters.contains(bytes[i])) {
            each(bytes.sliced(start, i + 1 - start));
            start = i + 1;
        }
    each(bytes.sliced(start));
}

// `bytes` with each piece ending in `delimiter` repeated `times` times.
inline QByteArray amplified(QByteArrayView bytes, char delimiter, qsizetype times)
{
    QByteArray grown;
    forEachPiece(bytes, [&](QByteArrayView piece) {
        for (qsizetype n = piece.endsWith(delimiter) ? times : 1; n > 0; --n) grown.append(piece);
    });
    return grown;
}

inline double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline void readAmplified(QByteArrayView bytes, ImportResult (*read)(QByteArrayView bytes))
{
    std::uint64_t hash = 14695981039346656037u; // FNV-1a
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    if (hash % kAmplifyOneIn != 0) return;
    const char delimiter = kDelimiters[hash / kAmplifyOneIn % (sizeof kDelimiters - 1)];
    qsizetype growing = 0;
    forEachPiece(bytes, [&](QByteArrayView piece) { growing += piece.endsWith(delimiter) ? piece.size() : 0; });
    if (growing == 0) return;
    const qsizetype times = std::max<qsizetype>(2, kAmplifiedBytes / 8 / growing);
    const QByteArray small = amplified(bytes, delimiter, times);
    const QByteArray large = amplified(bytes, delimiter, 8 * times);
    const double start = processorSeconds();
    (void)read(small);
    const double middle = processorSeconds();
    (void)read(large);
    const double end = processorSeconds();
    if (end - middle > 24 * (middle - start) + 0.1) {
        std::fprintf(stderr, "quadratic: %lld bytes read in %.3f s, %lld bytes in %.3f s\n",
                     static_cast<long long>(small.size()), middle - start, static_cast<long long>(large.size()),
                     end - middle);
        std::abort();
    }
}

} // namespace kestrix
