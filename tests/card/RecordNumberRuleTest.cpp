// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "card/RecordNumberRule.h"

#include <gtest/gtest.h>

namespace kestrix::testing {
namespace {

TEST(RecordNumberRule, NextNumberFromStoredText)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"41", "42"},
        {"", "1"},
        {"abc", "1"},
        {" 4 1", "42"},
        {"\t4\n1\n", "42"},
        {"2.5", "3.5"},
        {"-5", "-4"},
        {"+7", "8"},
        {"-1", "0"},
        {"12abc", "13"},
        {"1.5.5", "2.5"},
        {".5", "1.5"},
        {"7.", "8"},
        {"3e2", "301"},
        {"3E", "4"},
        {"3E+", "4"},
        {"1E-400", "1"},
        {"0.0001e10", "1000001"},
        {"999999999999999", "1E+15"},
        {"99999999999999", "100000000000000"},
        {"0.1", "1.1"},
        {"-0.5", "0.5"},
        {"٤٢", "1"}, // digits of other scripts are not digits here
        {"inf", "1"},
        {"nan", "1"},
        {"0x10", "1"},
    };
    for (const auto& [stored, next] : cases)
        EXPECT_EQ(nextRecordNumber(stored), std::optional<QString>(next)) << stored.toStdString();
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
