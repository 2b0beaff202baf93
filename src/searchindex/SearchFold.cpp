// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "SearchFold.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>

namespace kestrix {

namespace {

// Letters that Unicode gives no decomposition, though readers of Latin
// letters take them for a plain letter or two; as case-folded.
struct Spelling {
    char32_t letter;
    std::u32string_view spelling;
};
constexpr Spelling kLatinSpellings[] = {
    {U'ß', U"ss"}, {U'æ', U"ae"}, {U'œ', U"oe"}, {U'ø', U"o"}, {U'ł', U"l"}, {U'đ', U"d"},
    {U'ð', U"d"},  {U'þ', U"th"}, {U'ħ', U"h"},  {U'ı', U"i"}, {U'ŧ', U"t"},
};

std::u32string_view latinSpelling(char32_t letter)
{
    for (const Spelling& entry : kLatinSpellings)
        if (entry.letter == letter) return entry.spelling;
    return {};
}

// Accents and other marks that sit on a letter of any script; a script's
// own vowel signs (Devanagari's, say) are letters of their words and stay.
bool droppedMark(char32_t c)
{
    return QChar::category(c) == QChar::Mark_NonSpacing && QChar::script(c) == QChar::Script_Inherited;
}

std::u32string folded(char16_t unit)
{
    if (QChar::isSurrogate(unit)) return {unit};
    // A Hangul syllable decomposes into the letters it is written with; it
    // stays whole, a letter rather than a letter with accents.
    const bool decomposes =
        QChar::decompositionTag(unit) != QChar::NoDecomposition && QChar::script(unit) != QChar::Script_Hangul;
    const QList<uint> characters =
        decomposes ? QString(QChar(unit)).normalized(QString::NormalizationForm_KD).toUcs4() : QList<uint>{unit};
    std::u32string result;
    for (const uint c : characters) {
        const char32_t letter = QChar::toCaseFolded(char32_t(c));
        if (droppedMark(letter)) continue;
        const std::u32string_view spelling = latinSpelling(letter);
        if (spelling.empty())
            result += letter;
        else
            result += spelling;
    }
    return result;
}

} // namespace

SearchFold::SearchFold(int units)
{
    table_.resize(static_cast<std::size_t>(units));
    for (int unit = 0; unit < units; ++unit) {
        const auto u = static_cast<char16_t>(unit);
        std::u32string characters = folded(u);
        characters.resize(std::min<std::size_t>(characters.size(), kSizeMask));
        const bool inWord = QChar::isLetterOrNumber(u) || QChar::isMark(u) || QChar::isSurrogate(u);
        table_[u] = quint32(pool_.size()) << kOffsetShift | (inWord ? kInWord : 0) | quint32(characters.size());
        pool_ += characters;
    }
}

const SearchFold& SearchFold::latin1()
{
    static const SearchFold table(0x100);
    return table;
}

const SearchFold& SearchFold::all()
{
    static const SearchFold table(0x10000);
    return table;
}

std::u32string SearchFold::fold(std::u16string_view text)
{
    std::u32string result;
    result.reserve(text.size());
    for (const char16_t unit : text) result += (unit < 0x100 ? latin1() : all()).of(unit);
    return result;
}

} // namespace kestrix
