// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#pragma once

#include "card/CardRecord.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <random>

namespace kestrix::testing {

// Random card texts for the tests that require what is stored to come back
// exactly: from all of Unicode, or from the older 8-bit code page.
class CardGenerator {
public:
    explicit CardGenerator(unsigned seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // One character of all of Unicode, but a double quote (the format has no
    // escape for it), a surrogate half or a line break.
    char32_t anyCharacter();

    // One character that the older 8-bit code page can store.
    char32_t codePageCharacter();

    // A field: often empty, sometimes with blanks at its ends, now and then
    // longer than a box shows.
    QString field(bool memo, bool codePage);

    QString text(qsizetype length, bool memo, bool codePage);

    // A card such as people keep: names, a street, phone numbers, an e-mail
    // address and a memo of a few lines, in Latin script with some accents;
    // fields left empty now and then. The number is `number`.
    CardRecord realisticCard(int number);

    // Windows-1252: Latin-1 but for 0x80 to 0x9F. Written out here rather
    // than taken from the program, so a wrong entry there shows.
    static const std::array<char32_t, 256> kCodePage;

private:
    char32_t pickExcept(char32_t first, char32_t last);

    std::mt19937 random_;
};

// The code page bytes of `text`, or nothing when they would read back as
// UTF-8 (or as plain ASCII, which is no test of the code page).
std::optional<QByteArray> inCodePage(const QString& text);

// The seed of a randomised test: `variable` when it is set, else the clock.
// Prints it, saying how to repeat the run.
unsigned seedFrom(const char* variable, const char* what);

} // namespace kestrix::testing
