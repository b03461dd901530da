#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "config/number.h"

namespace {

using config::NumberStatus;
using config::parseNumber;

std::vector<std::u32string> split(std::u32string_view text) {
    std::vector<std::u32string_view> views;
    config::splitFields(text, views);
    return {views.begin(), views.end()};
}

TEST(FieldSplitting, FieldsAreTrimmedAndATrailingCommaAddsNothing) {
    EXPECT_EQ(split(U"RequiredNotch_Up, 1, 2 ,3,4,"),
              (std::vector<std::u32string>{U"RequiredNotch_Up", U"1", U"2", U"3", U"4"}));
    EXPECT_EQ(split(U"a,,b,,"), (std::vector<std::u32string>{U"a", U"", U"b", U""}));
    EXPECT_EQ(split(U"a, "), (std::vector<std::u32string>{U"a", U""}));
    EXPECT_EQ(split(U","), (std::vector<std::u32string>{U""}));
    EXPECT_EQ(split(U"  "), (std::vector<std::u32string>{U""}));
    EXPECT_TRUE(split(U"").empty());
    EXPECT_EQ(split(U"x\u3000,\u3000y"), (std::vector<std::u32string>{U"x", U"y"}));
}

TEST(FieldSplitting, KeywordsArePrefixesComparedWithCase) {
    EXPECT_TRUE(config::startsWith(U"RequiredNotch_Up,1", U"RequiredNotch_Up"));
    EXPECT_TRUE(config::startsWith(U"RequiredNotch_UpAndMore,1", U"RequiredNotch_Up"));
    EXPECT_FALSE(config::startsWith(U"requirednotch_up,1", U"RequiredNotch_Up"));
    EXPECT_FALSE(config::startsWith(U"Required", U"RequiredNotch_Up"));
}

TEST(FieldSplitting, SectionAndKeyComparisonIgnoresAsciiCaseOnly) {
    EXPECT_TRUE(config::equalsIgnoringCase(U"[POWER]", U"[Power]"));
    EXPECT_TRUE(config::equalsIgnoringCase(U"[power]", U"[Power]"));
    EXPECT_FALSE(config::equalsIgnoringCase(U"[ Power]", U"[Power]"));
    EXPECT_FALSE(config::equalsIgnoringCase(U"[Powers]", U"[Power]"));
    // KELVIN SIGN folds to "k" in Unicode, but a key is plain ASCII.
    EXPECT_FALSE(config::equalsIgnoringCase(U"[Bra\u212Ae]", U"[Brake]"));
}

TEST(NumberParsing, LongestValidPrefixCounts) {
    struct Case {
        std::u32string_view text;
        float value;
    } cases[] = {
        {U"12", 12.0f},
        {U"12A", 12.0f},
        {U"  -3.5kPa", -3.5f},
        {U"+7", 7.0f},
        {U".5", 0.5f},
        {U"5.", 5.0f},
        {U"1e3", 1000.0f},
        {U"1E-2x", 0.01f},
        {U"2e", 2.0f},
        {U"2e+", 2.0f},
        {U"3.25e1.5", 32.5f},
        {U"0x10", 0.0f},
        {U"1,5", 1.0f},
        {U"\u3000"
         U"4",
         4.0f},
        {U"-0", -0.0f},
        {U"0e999999", 0.0f},
        {U"00000000000000000000000000000000001.5", 1.5f},
    };
    for (const Case& c : cases) {
        const auto parsed = parseNumber(c.text);
        EXPECT_EQ(parsed.status, NumberStatus::Ok) << config::toUtf8(c.text);
        EXPECT_EQ(parsed.value, c.value) << config::toUtf8(c.text);
    }
}

TEST(NumberParsing, ConversionIsCorrectlyRounded) {
    EXPECT_EQ(parseNumber(U"0.1").value, 0.1f);
    EXPECT_EQ(parseNumber(U"23.217688").value, 23.217688f);
    EXPECT_EQ(parseNumber(U"3.4028235e38").value, std::numeric_limits<float>::max());
    EXPECT_EQ(parseNumber(U"16777217").value, 16777216.0f);  // halfway: ties to even
}

TEST(NumberParsing, TextWithoutLeadingNumberIsNotANumber) {
    for (std::u32string_view text :
         {U"", U"abc", U"-", U"+", U".", U"-.e5", U"e5", U"inf", U"nan", U"infinity", U"\uFF11", U"\uFFFD"}) {
        EXPECT_EQ(parseNumber(text).status, NumberStatus::NotANumber) << config::toUtf8(text);
    }
}

TEST(NumberParsing, ValuesBeyondSinglePrecisionAreOutOfRange) {
    for (std::u32string_view text : {U"1e39", U"-1e39", U"3.4028236e38", U"1e-46", U"1e-99999999999999"}) {
        EXPECT_EQ(parseNumber(text).status, NumberStatus::OutOfRange) << config::toUtf8(text);
    }
    // Subnormal values are still numbers.
    const auto tiny = parseNumber(U"1e-40");
    EXPECT_EQ(tiny.status, NumberStatus::Ok);
    EXPECT_GT(tiny.value, 0.0f);
}

TEST(NumberParsing, VeryLongDigitStringsStayExact) {
    std::u32string digits = U"1.";
    digits.append(100000, U'0');
    digits += U"1";
    const auto parsed = parseNumber(digits);
    EXPECT_EQ(parsed.status, NumberStatus::Ok);
    EXPECT_EQ(parsed.value, 1.0f);
}

}  // namespace
