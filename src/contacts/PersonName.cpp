// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "PersonName.h"

#include <QStringList>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <vector>

namespace kestrix {

namespace {

// Whether `word` is `key` without letter case or dots, so "Ph.D." is "phd".
// Compared in place: every contact of an export is parsed, and a key made
// for each word would cost more than the rest of the parse.
bool isTitle(QStringView word, QLatin1String key)
{
    qsizetype at = 0;
    for (const QChar c : word) {
        if (c == QLatin1Char('.')) continue;
        char16_t unit = c.unicode();
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
        if (at == key.size() || unit != key[at].unicode()) return false;
        ++at;
    }
    return at == key.size();
}

template <size_t Count>
bool isOneOf(QStringView word, const std::array<QLatin1String, Count>& keys)
{
    return std::any_of(keys.begin(), keys.end(), [word](QLatin1String key) { return isTitle(word, key); });
}

bool isPrefix(QStringView word)
{
    static constexpr std::array kPrefixes = {
        QLatin1String("dr"),   QLatin1String("prof"), QLatin1String("mr"),       QLatin1String("mrs"),
        QLatin1String("ms"),   QLatin1String("miss"), QLatin1String("mx"),       QLatin1String("sir"),
        QLatin1String("dame"), QLatin1String("rev"),  QLatin1String("hon"),      QLatin1String("herr"),
        QLatin1String("frau"), QLatin1String("mme"),  QLatin1String("mlle"),     QLatin1String("sr"),
        QLatin1String("sra"),  QLatin1String("ing"),  QLatin1String("dipl-ing"), QLatin1String("mag"),
        QLatin1String("mgr"),  QLatin1String("bc"),   QLatin1String("doc"),      QLatin1String("judr"),
        QLatin1String("mudr"), QLatin1String("rndr"), QLatin1String("phdr"),     QLatin1String("dott"),
    };
    return isOneOf(word, kPrefixes);
}

// Roman numerals only in capitals: "Iv" or "ii" is more likely a name.
bool isSuffix(QStringView word)
{
    static constexpr std::array kSuffixes = {
        QLatin1String("jr"),  QLatin1String("sr"),  QLatin1String("phd"), QLatin1String("md"),
        QLatin1String("dds"), QLatin1String("dmd"), QLatin1String("dvm"), QLatin1String("esq"),
        QLatin1String("mba"), QLatin1String("cpa"), QLatin1String("jd"),  QLatin1String("llm"),
        QLatin1String("msc"), QLatin1String("bsc"), QLatin1String("rn"),  QLatin1String("csc"),
    };
    return word == QLatin1String("II") || word == QLatin1String("III") || word == QLatin1String("IV")
        || isOneOf(word, kSuffixes);
}

// A particle in any letter case joins the family name ("Jean De La
// Fontaine"); as the first word only in small letters, as "Van" and "Del"
// are given names too.
bool isParticle(QStringView word, bool first)
{
    static constexpr std::array kParticles = {
        QLatin1String("van"),   QLatin1String("von"), QLatin1String("de"),  QLatin1String("da"),  QLatin1String("di"),
        QLatin1String("der"),   QLatin1String("den"), QLatin1String("du"),  QLatin1String("la"),  QLatin1String("le"),
        QLatin1String("ter"),   QLatin1String("ten"), QLatin1String("dos"), QLatin1String("das"), QLatin1String("del"),
        QLatin1String("della"), QLatin1String("des"), QLatin1String("do"),  QLatin1String("zu"),  QLatin1String("af"),
    };
    const Qt::CaseSensitivity cs = first ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return std::any_of(kParticles.begin(), kParticles.end(),
                       [&](QLatin1String particle) { return word.compare(particle, cs) == 0; });
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

// A name without a comma whose words stand one blank apart, as most do:
// parsed as the words of the full parse are, each part a stretch of the
// name itself, without a list of words made. Nothing for any other name.
std::optional<PersonName> plainName(const QString& fullName)
{
    QVarLengthArray<QStringView, 8> words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= fullName.size(); ++i) {
        if (i < fullName.size() && fullName[i] != QLatin1Char(' ')) {
            if (fullName[i] == QLatin1Char(',') || fullName[i].isSpace()) return std::nullopt;
            continue;
        }
        if (i == start) return std::nullopt; // a blank at either end, or two together
        words.append(QStringView(fullName).sliced(start, i - start));
        start = i + 1;
    }
    const qsizetype count = words.size();
    qsizetype from = 0, to = count;
    while (to - from > 1 && isPrefix(words[from])) ++from;
    while (to - from > 1 && isSuffix(words[to - 1])) --to;
    qsizetype family = to - 1;
    while (family > from && isParticle(words[family - 1], family - 1 == from)) --family;
    // Words [first, last) as they stand in the name, blanks between.
    auto stretch = [&](qsizetype first, qsizetype last) {
        if (first >= last) return QString();
        const QChar* begin = words[first].data();
        return QStringView(begin, words[last - 1].data() + words[last - 1].size() - begin).toString();
    };
    PersonName parts;
    parts.prefix = stretch(0, from);
    parts.given = family > from ? stretch(from, from + 1) : QString();
    parts.additional = stretch(from + 1, family);
    parts.family = stretch(family, to);
    parts.suffix = stretch(to, count);
    return parts;
}

} // namespace

PersonName parseName(const QString& fullName)
{
    if (std::optional<PersonName> parts = plainName(fullName)) return std::move(*parts);
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
    // An import puts the line last, after a line break only when a note
    // stands before it.
    if (lineStart != 1 && line.startsWith(kNamePartsLabel) && line.sliced(kNamePartsLabel.size()).startsWith(u": ")) {
        const std::optional<PersonName> parts = namePartsFromText(line.sliced(kNamePartsLabel.size() + 2));
        if (parts && keptName(*parts, contact) == KeptName::Parts)
            return {*parts, lineStart == 0 ? QString() : memo.first(lineStart - 1)};
    }
    return {parseName(contact), memo};
}

} // namespace kestrix
