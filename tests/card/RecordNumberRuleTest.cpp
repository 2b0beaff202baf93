// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "card/RecordNumberRule.h"
#include "support/CaseNames.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace kestrix::testing {
namespace {

struct NextNumber {
    const char* name;
    QString stored;
    QString next;
};

void PrintTo(const NextNumber& row, std::ostream* out)
{
    *out << row.name;
}

const std::vector<NextNumber> kNextNumbers = {
    {"whole_number", "41", "42"},
    {"empty", "", "1"},
    {"letters", "abc", "1"},
    {"blanks_between_digits", " 4 1", "42"},
    {"tab_and_line_feeds_between_digits", "\t4\n1\n", "42"},
    {"fraction", "2.5", "3.5"},
    {"negative", "-5", "-4"},
    {"plus_sign", "+7", "8"},
    {"minus_one", "-1", "0"},
    {"letters_after_digits", "12abc", "13"},
    {"second_point", "1.5.5", "2.5"},
    {"no_digit_before_the_point", ".5", "1.5"},
    {"no_digit_after_the_point", "7.", "8"},
    {"exponent", "3e2", "301"},
    {"exponent_without_digits", "3E", "4"},
    {"exponent_sign_without_digits", "3E+", "4"},
    {"exponent_too_small", "1E-400", "1"},
    {"fraction_with_exponent", "0.0001e10", "1000001"},
    {"fifteen_nines", "999999999999999", "1E+15"},
    {"fourteen_nines", "99999999999999", "100000000000000"},
    {"tenth", "0.1", "1.1"},
    {"negative_half", "-0.5", "0.5"},
    // digits of other scripts are not digits here
    {"arabic_indic_digits", "٤٢", "1"},
    {"inf", "inf", "1"},
    {"nan", "nan", "1"},
    {"hexadecimal", "0x10", "1"},
};

class NextRecordNumber : public ::testing::TestWithParam<NextNumber> {};

TEST_P(NextRecordNumber, FromStoredText)
{
    EXPECT_EQ(nextRecordNumber(GetParam().stored), std::optional<QString>(GetParam().next))
        << GetParam().stored.toStdString();
}

INSTANTIATE_TEST_SUITE_P(, NextRecordNumber, ::testing::ValuesIn(kNextNumbers),
                         [](const auto& row) { return caseName(row.param.name); });

TEST(RecordNumberRule, SmallNumbersAsTextAndNoNegativeZero)
{
    EXPECT_EQ(textFromNumber(0.00001), QStringLiteral("1E-05"));
    EXPECT_EQ(textFromNumber(-0.0), QStringLiteral("0"));
}

// Too large for a double, or so large that one more is written the same:
// either way the number would be issued twice.
TEST(RecordNumberRule, TooLargeToCountOn)
{
    for (const QString& stored :
         {QStringLiteral("1E400"), QStringLiteral("-1E400"), QStringLiteral("1") + QString(400, QLatin1Char('0')),
          QStringLiteral("1E+15"), QStringLiteral("1.7976931348623157E308"), QStringLiteral("1E+308")})
        EXPECT_EQ(nextRecordNumber(stored), std::nullopt) << stored.toStdString();
    EXPECT_EQ(nextRecordNumber(QStringLiteral("5"), 1e15), std::nullopt);
    EXPECT_EQ(nextRecordNumber(QStringLiteral("1E+15"), 3.0), std::nullopt);
    // Too small, however it is written, is zero.
    EXPECT_EQ(nextRecordNumber(QStringLiteral("0.") + QString(400, QLatin1Char('0')) + QStringLiteral("1E10")),
              QStringLiteral("1"));
}

} // namespace
} // namespace kestrix::testing
