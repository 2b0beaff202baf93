// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "support/CardGenerator.h"

#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <iostream>

namespace kestrix::testing {

namespace {

// Characters a text box or a decoder is most likely to change.
constexpr char32_t kTricky[] = {
    U' ',     U'\t',  U',',   0x00A0, 0x2028, 0x2029, 0xFDD0, 0xFDD1, 0xFEFF, 0x0301,
    0x20DD,   0x200F, 0x202E, 0x0000, 0x0085, 0x000B, 0xFFFC, 0xFFFE, 0xFFFF, 0x1F600,
    0x10FFFF, 0x0E01, 0x0E48, 0x05D0, 0x0627, 0x3000, 0x00AD, 0x200B, 0x2060, 0x1D11E,
};

} // namespace

char32_t CardGenerator::anyCharacter()
{
    switch (below(10)) {
    case 0:
    case 1:
    case 2:
        return pickExcept(0x20, 0x7E);
    case 3:
        return kTricky[below(std::size(kTricky))];
    case 4:
        return pickExcept(0x00, 0x1F);
    case 5:
        return pickExcept(0x0300, 0x036F);
    case 6:
        return pickExcept(0x10000, 0x10FFFF);
    default:
        return pickExcept(0x80, 0xFFFF);
    }
}

char32_t CardGenerator::codePageCharacter()
{
    for (;;) {
        const char32_t c = kCodePage[below(256)];
        if (c != U'"' && c != U'\r' && c != U'\n') return c;
    }
}

QString CardGenerator::field(bool memo, bool codePage)
{
    if (below(5) == 0) return {};
    const qsizetype length = below(100) == 0 ? below(2000) + 1 : below(24) + 1;
    return text(length, memo, codePage);
}

QString CardGenerator::text(qsizetype length, bool memo, bool codePage)
{
    QString text;
    if (below(6) == 0) text += QLatin1Char(' ');
    for (qsizetype count = 0; count < length; ++count) {
        // A memo's line break is stored as CR LF and shown as one line feed.
        // One character at a time: a conversion from UTF-32 would drop a
        // byte order mark at the start.
        if (memo && below(12) == 0)
            text += QLatin1Char('\n');
        else
            text += QChar::fromUcs4(codePage ? codePageCharacter() : anyCharacter());
    }
    if (below(6) == 0) text += QLatin1Char(' ');
    return text;
}

CardRecord CardGenerator::realisticCard(int number)
{
    static const QStringList given = {"Anna", "Jürgen", "Zoë", "Marie-Claire", "Łukasz", "Søren", "Ana", "O'Neil"};
    static const QStringList family = {"Nowak", "Müller", "García Márquez", "Dupont", "van der Berg", "Smith"};
    static const QStringList companies = {"Acme, Inc.", "Müller & Söhne GmbH", "Café Olé; Bar", "Nordwind AB",
                                          "Back\\Slash Ltd"};
    static const QStringList streets = {"Hauptstraße 12", "1 Infinite Loop", "Rue de l'Église 4", "Calle Mayor, 7"};
    static const QStringList cities = {"Berlin", "Cupertino", "Besançon", "Madrid", "Kraków"};
    static const QStringList memoLines = {"Met at the fair; likes tea.", "Call before 10:00, not after 18:00",
                                          "Invoice: net 30, 2% skonto", "Prefers e-mail\\letters",
                                          "Ordered 3 × A4 paper"};
    auto pick = [this](const QStringList& list) { return list[below(static_cast<int>(list.size()))]; };
    auto maybe = [this](const QString& text) { return below(6) == 0 ? QString() : text; };
    auto phone = [this] {
        return QStringLiteral("+%1 %2 %3").arg(below(90) + 1).arg(below(900) + 100).arg(below(9000000) + 1000000);
    };
    CardRecord card;
    const QString first = pick(given), last = pick(family);
    card[indexOf(Field::CNAME)] = maybe(pick(companies));
    card[indexOf(Field::CCNAME)] = first + QLatin1Char(' ') + last;
    card[indexOf(Field::ADDRESS1)] = maybe(pick(streets));
    card[indexOf(Field::ADDRESS2)] = below(3) == 0 ? QStringLiteral("Suite %1").arg(below(500)) : QString();
    card[indexOf(Field::CITY)] = maybe(pick(cities));
    card[indexOf(Field::ST)] = maybe(QStringLiteral("NY"));
    card[indexOf(Field::ZIP)] = maybe(QString::number(10000 + below(89999)));
    card[indexOf(Field::PHONE)] = maybe(phone());
    card[indexOf(Field::PHONE2)] = below(3) == 0 ? phone() : QString();
    card[indexOf(Field::CELL)] = maybe(phone());
    card[indexOf(Field::FAX)] = below(3) == 0 ? phone() : QString();
    card[indexOf(Field::email)] = maybe(first.toLower().remove(QLatin1Char('\'')) + QStringLiteral("@example.com"));
    QStringList memo;
    for (int i = below(4); i > 0; --i) memo.append(pick(memoLines));
    card[indexOf(Field::MEMO)] = memo.join(QLatin1Char('\n'));
    card[indexOf(Field::RecordNumber)] = QString::number(number);
    return card;
}

char32_t CardGenerator::pickExcept(char32_t first, char32_t last)
{
    for (;;) {
        const auto c = static_cast<char32_t>(std::uniform_int_distribution<quint32>(first, last)(random_));
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        if (!surrogate && c != U'"' && c != U'\r' && c != U'\n') return c;
    }
}

const std::array<char32_t, 256> CardGenerator::kCodePage = [] {
    std::array<char32_t, 256> table{};
    for (char32_t byte = 0; byte < 256; ++byte) table[byte] = byte;
    const char32_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    for (int i = 0; i < 32; ++i) table[0x80 + i] = high[i];
    return table;
}();

std::optional<QByteArray> inCodePage(const QString& text)
{
    QByteArray bytes;
    for (char32_t c : text.toUcs4()) {
        if (c == U'\n') {
            bytes += "\r\n";
            continue;
        }
        const auto* at = std::find(CardGenerator::kCodePage.begin(), CardGenerator::kCodePage.end(), c);
        bytes += static_cast<char>(at - CardGenerator::kCodePage.begin());
    }
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char b) { return (b & 0x80) == 0; });
    const bool validUtf8 = QString::fromUtf8(bytes).toUtf8() == bytes;
    if (!ascii && validUtf8) return std::nullopt;
    return bytes;
}

unsigned seedFrom(const char* variable, const char* what)
{
    // Parsed as unsigned: a seed from the clock is often above the largest int.
    const unsigned seed = qEnvironmentVariableIsSet(variable)
        ? qgetenv(variable).toUInt()
        : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
    std::cout << what << " seed: " << seed << " (set " << variable << " to repeat)" << std::endl;
    return seed;
}

} // namespace kestrix::testing
