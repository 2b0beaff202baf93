// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "RecordNumberRule.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <system_error>

namespace kestrix {

namespace {

bool isIgnoredSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading number of `text` without its ignored blanks, as plain ASCII
// that std::from_chars can take: sign, digits, point, digits, exponent.
struct LeadingNumber {
    bool negative = false;
    std::string digits; // mantissa and exponent, no sign; may be empty
    int magnitude = 0;  // decimal exponent of the first significant digit, plus one
    int exponent = 0;   // saturated, only its sign matters
};

LeadingNumber leadingNumber(QStringView text)
{
    std::string compact;
    compact.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) {
        if (isIgnoredSpace(c)) continue;
        // Anything outside ASCII ends the number anyway.
        compact.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x01');
    }

    LeadingNumber number;
    size_t i = 0;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) number.negative = compact[i++] == '-';

    bool leadingZeros = true;
    bool anyDigit = false;
    for (; i < compact.size() && isDigit(compact[i]); ++i) {
        anyDigit = true;
        if (compact[i] != '0') leadingZeros = false;
        if (!leadingZeros) ++number.magnitude;
        number.digits.push_back(compact[i]);
    }
    if (i < compact.size() && compact[i] == '.') {
        number.digits.push_back('.');
        for (++i; i < compact.size() && isDigit(compact[i]); ++i) {
            anyDigit = true;
            if (compact[i] != '0') leadingZeros = false;
            if (leadingZeros) --number.magnitude;
            number.digits.push_back(compact[i]);
        }
    }
    if (!anyDigit) return LeadingNumber{};

    // An exponent counts only when digits follow the E and its sign.
    if (i < compact.size() && (compact[i] == 'E' || compact[i] == 'e')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) negativeExponent = compact[j++] == '-';
        if (j < compact.size() && isDigit(compact[j])) {
            number.digits.push_back('e');
            if (negativeExponent) number.digits.push_back('-');
            long exponent = 0;
            for (; j < compact.size() && isDigit(compact[j]); ++j) {
                number.digits.push_back(compact[j]);
                if (exponent < 100000) exponent = exponent * 10 + (compact[j] - '0');
            }
            number.exponent = static_cast<int>(negativeExponent ? -exponent : exponent);
        }
    }
    return number;
}

} // namespace

std::optional<double> numberFromText(QStringView text)
{
    const LeadingNumber number = leadingNumber(text);
    if (number.digits.empty()) return 0.0;

    double value = 0.0;
    const char* first = number.digits.data();
    const char* last = first + number.digits.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Out of range one way is too large to count on; the other way it is
        // merely too small to tell from zero.
        if (number.magnitude + number.exponent > 0) return std::nullopt;
        value = 0.0;
    } else if (error != std::errc() || end != last) {
        return 0.0;
    }
    return number.negative ? -value : value;
}

QString textFromNumber(double value)
{
    if (value == 0.0) return QStringLiteral("0"); // never "-0"
    std::array<char, 40> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general, 15);
    if (error != std::errc()) return QString();
    QString text = QString::fromLatin1(buffer.data(), end - buffer.data());
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

std::optional<QString> nextRecordNumber(QStringView text, std::optional<double> atLeast)
{
    const std::optional<double> value = numberFromText(text);
    if (!value) return std::nullopt;
    const double base = std::max(*value, atLeast.value_or(*value));
    QString next = textFromNumber(base + 1.0);
    // Read back as the number it stands for: it must be past the base.
    const std::optional<double> issued = numberFromText(next);
    if (!issued || *issued <= base) return std::nullopt;
    return next;
}

bool isPlainWholeNumber(QStringView text)
{
    const QStringView digits = text.trimmed();
    return !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

} // namespace kestrix
