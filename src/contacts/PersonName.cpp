// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PersonName.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>
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

std::array<const QString*, 5> inOrder(const PersonName& parts)
{
    return {&parts.family, &parts.given, &parts.additional, &parts.prefix, &parts.suffix};
}

bool separatesWords(QChar c)
{
    return c.isSpace() || c == QLatin1Char(',');
}

// Calls `each` with every word of `text`, split at blanks and commas, until
// it returns false; returns whether it never did.
template <typename Each>
bool forEachWord(QStringView text, Each each)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !separatesWords(text[i])) continue;
        if (i > start && !each(text.sliced(start, i - start))) return false;
        start = i + 1;
    }
    return true;
}

// Whether every word of the name parts stands in the full name, in any
// letter case: then the parts say nothing the contact does not. The full
// name's words are sorted once and looked up, so many words cost little
// more than few.
bool partsSaidBy(const PersonName& parts, const QString& fullName)
{
    const QString folded = fullName.toCaseFolded();
    std::vector<QStringView> words;
    forEachWord(folded, [&words](QStringView word) {
        words.push_back(word);
        return true;
    });
    std::sort(words.begin(), words.end());
    const std::array<const QString*, 5> all = inOrder(parts);
    return std::all_of(all.begin(), all.end(), [&words](const QString* part) {
        const QString foldedPart = part->toCaseFolded();
        return forEachWord(foldedPart,
                           [&words](QStringView word) { return std::binary_search(words.begin(), words.end(), word); });
    });
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

QString namePartsText(const PersonName& parts)
{
    const std::array<const QString*, 5> all = inOrder(parts);
    std::size_t count = all.size();
    while (count > 0 && all[count - 1]->isEmpty()) --count;
    QString text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += QStringLiteral("; ");
        for (QChar c : *all[i]) {
            if (c == QLatin1Char('\\') || c == QLatin1Char(';'))
                text += QLatin1Char('\\') + c;
            else if (c == QLatin1Char('\n'))
                text += QStringLiteral("\\n");
            else if (c == QLatin1Char('\r'))
                text += QStringLiteral("\\r");
            else
                text += c;
        }
    }
    return text;
}

std::optional<PersonName> namePartsFromText(QStringView text)
{
    PersonName parts;
    const std::array<QString*, 5> all = {&parts.family, &parts.given, &parts.additional, &parts.prefix, &parts.suffix};
    std::size_t at = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == QLatin1Char(';')) {
            if (++at == all.size() || i + 1 == text.size() || text[i + 1] != QLatin1Char(' ')) return std::nullopt;
            ++i;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            if (++i == text.size()) return std::nullopt;
            c = text[i] == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                : text[i] == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                              : text[i];
        }
        *all[at] += c;
    }
    // Any other spelling of the same parts is not this form.
    if (parts.isEmpty() || namePartsText(parts) != text) return std::nullopt;
    return parts;
}

KeptName keptName(const PersonName& parts, const QString& fullName)
{
    if (parts.isEmpty() || parts == parseName(fullName)) return KeptName::Nothing;
    return partsSaidBy(parts, fullName) ? KeptName::Parts : KeptName::Words;
}

QString nameStandIn(const CardRecord& card)
{
    // What a phone shows for a contact without a name, and all of it in
    // the card already, so an import can drop it again without loss.
    for (Field field : {Field::email, Field::PHONE, Field::PHONE2, Field::CELL, Field::FAX, Field::ADDRESS1,
                        Field::ADDRESS2, Field::CITY, Field::ST, Field::ZIP}) {
        QString text = card[indexOf(field)].trimmed();
        if (!text.isEmpty()) return text;
    }
    // Not the memo, which may be long and is rarely meant to be shown.
    return QStringLiteral("(no name)");
}

WrittenName writtenName(const QString& contact, const QString& memo)
{
    if (contact.isEmpty()) return {PersonName(), memo};
    const qsizetype lineStart = memo.lastIndexOf(QLatin1Char('\n')) + 1;
    const QStringView line = QStringView(memo).sliced(lineStart);
    const QString head = kNamePartsLabel + QStringLiteral(": ");
    // An import puts the line last, after a line break only when a note
    // stands before it.
    if (lineStart != 1 && line.startsWith(head)) {
        const std::optional<PersonName> parts = namePartsFromText(line.sliced(head.size()));
        if (parts && keptName(*parts, contact) == KeptName::Parts)
            return {*parts, lineStart == 0 ? QString() : memo.first(lineStart - 1)};
    }
    return {parseName(contact), memo};
}

} // namespace kestrix
