// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CardFileGenerator.h"

#include "card/CardLine.h"

#include <QFile>

#include <array>

namespace kestrix::bench {

namespace {

constexpr std::array kFirstNames = {"Anna", "Bob",  "Carla", "David", "Élodie", "Frank", "Greta",
                                    "Hugo", "Inés", "Jonas", "Karin", "Lukas",  "María", "Nils",
                                    "Oona", "Paul", "Zoë",   "René",  "Sofia",  "Tomás"};
constexpr std::array kLastNames = {"Smith",  "Müller",    "García",   "Johnson", "Nowak",   "Rossi", "Dubois",
                                   "Jensen", "O'Brien",   "Kowalski", "Brown",   "Lefèvre", "Novák", "Silva",
                                   "Taylor", "Andersson", "Weiß",     "Martin",  "Costa",   "Clark"};
constexpr std::array kCompanyWords = {"Acme",    "Northwind", "Blue Harbor", "Summit",   "Redwood", "Atlas",
                                      "Pioneer", "Crescent",  "Keystone",    "Lakeside", "Granite", "Evergreen"};
constexpr std::array kCompanyKinds = {"Tools",      "Logistics", "Consulting", "Supply Co.", "Bakery",
                                      "Print Shop", "Electric",  "Furniture",  "Travel",     "Software GmbH"};
constexpr std::array kStreets = {"Main Street",  "Oak Avenue",    "Elm Road", "Station Road",
                                 "Harbour Lane", "Church Street", "Mill Way", "Park Drive"};
constexpr std::array kCities = {"Springfield", "Riverton", "Fairview", "Kingston", "Salem",
                                "Georgetown",  "Clinton",  "Madison",  "Franklin", "Ashland"};
constexpr std::array kStates = {"IL", "NY", "CA", "TX", "OH", "WA", "MA", "OR"};

template <typename Words>
QString pick(const Words& words, unsigned value)
{
    return QString::fromUtf8(words[value % words.size()]);
}

// A cheap, fixed scramble so neighbouring cards differ.
unsigned mix(unsigned x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

QString digits(unsigned value, int count)
{
    return QString::number(value).rightJustified(count, QLatin1Char('0')).right(count);
}

} // namespace

QString generatedContact(int number)
{
    const unsigned h = mix(static_cast<unsigned>(number));
    return pick(kFirstNames, h) + QLatin1Char(' ') + pick(kLastNames, h >> 8) + QLatin1Char(' ')
        + QString::number(number);
}

CardRecord generatedCard(int number)
{
    const unsigned h = mix(static_cast<unsigned>(number) + 0x9e3779b9U);
    CardRecord card;
    auto set = [&card](Field field, QString text) { card[indexOf(field)] = std::move(text); };
    set(Field::CNAME, pick(kCompanyWords, h) + QLatin1Char(' ') + pick(kCompanyKinds, h >> 4));
    set(Field::CCNAME, generatedContact(number));
    set(Field::ADDRESS1, QString::number(1 + h % 9999) + QLatin1Char(' ') + pick(kStreets, h >> 8));
    if (h % 5 == 0) set(Field::ADDRESS2, QStringLiteral("Suite %1").arg(100 + h % 900));
    set(Field::CITY, pick(kCities, h >> 12));
    set(Field::ST, pick(kStates, h >> 16));
    set(Field::ZIP, digits(h, 5));
    set(Field::PHONE, QStringLiteral("555-") + digits(h >> 3, 4));
    if (h % 3 == 0) set(Field::PHONE2, QStringLiteral("555-") + digits(h >> 7, 4));
    if (h % 2 == 0) set(Field::CELL, QStringLiteral("555-") + digits(h >> 11, 4));
    if (h % 4 == 0) set(Field::FAX, QStringLiteral("555-") + digits(h >> 13, 4));
    set(Field::email, QStringLiteral("contact%1@example.com").arg(number));
    if (number % 10 == 0) set(Field::MEMO, QStringLiteral("Met at the trade fair.\nCall again in spring."));
    set(Field::RecordNumber, QString::number(number));
    return card;
}

bool writeGeneratedCardFile(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray chunk;
    for (int number = 1; number <= count; ++number) {
        chunk += cardLine(generatedCard(number));
        if (chunk.size() >= (1 << 20) || number == count) {
            if (file.write(chunk) != chunk.size()) return false;
            chunk.clear();
        }
    }
    return file.flush();
}

} // namespace kestrix::bench
