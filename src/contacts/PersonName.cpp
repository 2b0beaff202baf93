// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PersonName.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace kestrix {

namespace {

// Compared without letter case or dots, so "Ph.D." is "PhD" and "phd".
QString titleKey(const QString& word)
{
    QString key = word.toCaseFolded();
    key.remove(QLatin1Char('.'));
    return key;
}

bool isPrefix(const QString& word)
{
    static const QSet<QString> prefixes = {
        QStringLiteral("dr"),   QStringLiteral("prof"), QStringLiteral("mr"),       QStringLiteral("mrs"),
        QStringLiteral("ms"),   QStringLiteral("miss"), QStringLiteral("mx"),       QStringLiteral("sir"),
        QStringLiteral("dame"), QStringLiteral("rev"),  QStringLiteral("hon"),      QStringLiteral("herr"),
        QStringLiteral("frau"), QStringLiteral("mme"),  QStringLiteral("mlle"),     QStringLiteral("sr"),
        QStringLiteral("sra"),  QStringLiteral("ing"),  QStringLiteral("dipl-ing"), QStringLiteral("mag"),
        QStringLiteral("mgr"),  QStringLiteral("bc"),   QStringLiteral("doc"),      QStringLiteral("judr"),
        QStringLiteral("mudr"), QStringLiteral("rndr"), QStringLiteral("phdr"),     QStringLiteral("dott"),
    };
    return prefixes.contains(titleKey(word));
}

// Roman numerals only in capitals: "Iv" or "ii" is more likely a name.
bool isSuffix(const QString& word)
{
    static const QSet<QString> suffixes = {
        QStringLiteral("jr"),  QStringLiteral("sr"),  QStringLiteral("phd"), QStringLiteral("md"),
        QStringLiteral("dds"), QStringLiteral("dmd"), QStringLiteral("dvm"), QStringLiteral("esq"),
        QStringLiteral("mba"), QStringLiteral("cpa"), QStringLiteral("jd"),  QStringLiteral("llm"),
        QStringLiteral("msc"), QStringLiteral("bsc"), QStringLiteral("rn"),  QStringLiteral("csc"),
    };
    return word == QLatin1String("II") || word == QLatin1String("III") || word == QLatin1String("IV")
        || suffixes.contains(titleKey(word));
}

// A particle in any letter case joins the family name ("Jean De La
// Fontaine"); as the first word only in small letters, as "Van" and "Del"
// are given names too.
bool isParticle(const QString& word, bool first)
{
    static const QSet<QString> particles = {
        QStringLiteral("van"), QStringLiteral("von"), QStringLiteral("de"),  QStringLiteral("da"),
        QStringLiteral("di"),  QStringLiteral("der"), QStringLiteral("den"), QStringLiteral("du"),
        QStringLiteral("la"),  QStringLiteral("le"),  QStringLiteral("ter"), QStringLiteral("ten"),
        QStringLiteral("dos"), QStringLiteral("das"), QStringLiteral("del"), QStringLiteral("della"),
        QStringLiteral("des"), QStringLiteral("do"),  QStringLiteral("zu"),  QStringLiteral("af"),
    };
    return particles.contains(first ? word : word.toCaseFolded());
}

QStringList wordsOf(QStringView text)
{
    QStringList words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace()) continue;
        if (i > start) words.append(text.sliced(start, i - start).toString());
        start = i + 1;
    }
    return words;
}

// The honorifics in front of words [from, to) appended to `prefixes`, and
// the suffixes behind them to `suffixes`; the range narrowed to the words
// left, one at least. By index, as a name of many titles must not cost
// their number squared.
void takeTitles(const QStringList& words, qsizetype& from, qsizetype& to, QStringList& prefixes, QStringList& suffixes)
{
    while (to - from > 1 && isPrefix(words[from])) prefixes.append(words[from++]);
    qsizetype keep = to;
    while (keep - from > 1 && isSuffix(words[keep - 1])) --keep;
    suffixes += words.mid(keep, to - keep);
    to = keep;
}

// Words [from, to): the given name first, the family name last with the
// particles before it, additional names between.
void splitGivenFamily(const QStringList& words, qsizetype from, qsizetype to, PersonName& parts)
{
    qsizetype family = to - 1;
    while (family > from && isParticle(words[family - 1], family - 1 == from)) --family;
    parts.family = words.mid(family, to - family).join(QLatin1Char(' '));
    if (family > from) parts.given = words[from];
    if (family > from + 1) parts.additional = words.mid(from + 1, family - from - 1).join(QLatin1Char(' '));
}

} // namespace

PersonName parseName(const QString& fullName)
{
    std::vector<QStringList> segments;
    for (const QString& segment : fullName.split(QLatin1Char(',')))
        if (QStringList words = wordsOf(segment); !words.isEmpty()) segments.push_back(std::move(words));
    // "John Smith, Jr., MD": the segments after the first that hold suffixes
    // alone.
    std::size_t named = segments.size();
    while (named > 1 && std::all_of(segments[named - 1].begin(), segments[named - 1].end(), isSuffix)) --named;
    PersonName parts;
    QStringList prefixes, suffixes;
    if (named > 1) {
        // "Smith, John"
        const QStringList& family = segments.front();
        qsizetype from = 0, to = family.size();
        takeTitles(family, from, to, prefixes, suffixes);
        parts.family = family.mid(from, to - from).join(QLatin1Char(' '));
        QStringList given;
        for (std::size_t i = 1; i < named; ++i) given += segments[i];
        from = 0;
        to = given.size();
        takeTitles(given, from, to, prefixes, suffixes);
        parts.given = given[from];
        parts.additional = given.mid(from + 1, to - from - 1).join(QLatin1Char(' '));
    } else if (named == 1) {
        qsizetype from = 0, to = segments.front().size();
        takeTitles(segments.front(), from, to, prefixes, suffixes);
        splitGivenFamily(segments.front(), from, to, parts);
    }
    for (std::size_t i = named; i < segments.size(); ++i) suffixes += segments[i];
    parts.prefix = prefixes.join(QLatin1Char(' '));
    parts.suffix = suffixes.join(QLatin1Char(' '));
    // Blanks or commas alone are still what the user wrote as the name.
    if (parts.isEmpty()) parts.family = fullName;
    return parts;
}

} // namespace kestrix
