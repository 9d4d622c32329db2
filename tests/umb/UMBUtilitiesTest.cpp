#include "umb/UMBUtilities.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using umb::UMBUtilities;

#define DEG "\xC2\xB0"

namespace {
struct Formatted {
    std::string actual;
    const char* expected;
};
} // namespace

TEST(UMBUtilitiesTest, PublishedFormattingExamples)
{
    Formatted cases[] = {
        {UMBUtilities::strRa(5.5755), "05:34:31.800"},
        {UMBUtilities::esoRa(12.5), "12+30+00.000"},
        {UMBUtilities::strDec(-0.5), "-00:30:00.000"},
        {UMBUtilities::strDec(22.0145), "+22:00:52.200"},
        {UMBUtilities::strDec(0.0), "+00:00:00.000"},
        {UMBUtilities::strDegrees(-45.5), "45:30:00.000"},
        {UMBUtilities::strGeo(-33.8568, true), "S 33" DEG " 51' 24.480\""},
        {UMBUtilities::strGeo(151.2093, false), "E 151" DEG " 12' 33.480\""},
        {UMBUtilities::strGeo(-0.25, false), "W 00" DEG " 15' 00.000\""},
        {UMBUtilities::esoDec(-5.25), "-05+15+00.000"},
        {UMBUtilities::esoDec(5.25), "05+15+00.000"},
        {UMBUtilities::strEquatorial(5.5755, 22.0145, 1, 2, 3),
            "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, SecondsBelowSixtyPrintAsSixtyWithoutACarry)
{
    // 59.99996 unrounded seconds: the carry must not fire, the print rounds up.
    Formatted cases[] = {
        {UMBUtilities::strRa(0.99999999), "00:59:60.000"},
        {UMBUtilities::strRa(23.99999999), "23:59:60.000"},
        {UMBUtilities::esoRa(0.99999999), "00+59+60.000"},
        {UMBUtilities::strDec(-0.99999999), "-00:59:60.000"},
        {UMBUtilities::strDegrees(359.99999999), "359:59:60.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, NothingWraps)
{
    Formatted cases[] = {
        {UMBUtilities::strRa(24.0), "24:00:00.000"},
        {UMBUtilities::strDegrees(400.5), "400:30:00.000"},
        {UMBUtilities::strDec(-123.25), "-123:15:00.000"},
        {UMBUtilities::strGeo(-200.0, false), "W 200" DEG " 00' 00.000\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, NegativeZeroPrintsExactlyAsZero)
{
    Formatted cases[] = {
        {UMBUtilities::strRa(-0.0), "00:00:00.000"},
        {UMBUtilities::esoRa(-0.0), "00+00+00.000"},
        {UMBUtilities::strDec(-0.0), "+00:00:00.000"},
        {UMBUtilities::esoDec(-0.0), "00+00+00.000"},
        {UMBUtilities::strDegrees(-0.0), "00:00:00.000"},
        {UMBUtilities::strGeo(-0.0, true), "N 00" DEG " 00' 00.000\""},
        {UMBUtilities::strGeo(-0.0, false), "E 00" DEG " 00' 00.000\""},
        {UMBUtilities::strEquatorial(-0.0, -0.0, 0, 0, 0),
            "RA 00:00:00.000 DEC +00:00:00.000  (0.0, 0.0)  0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, HemisphereLettersFollowTheSignAndTheFlag)
{
    Formatted cases[] = {
        {UMBUtilities::strGeo(10.5, true), "N 10" DEG " 30' 00.000\""},
        {UMBUtilities::strGeo(-10.5, true), "S 10" DEG " 30' 00.000\""},
        {UMBUtilities::strGeo(10.5, false), "E 10" DEG " 30' 00.000\""},
        {UMBUtilities::strGeo(-10.5, false), "W 10" DEG " 30' 00.000\""},
        {UMBUtilities::strGeo(0.0, true), "N 00" DEG " 00' 00.000\""},
        {UMBUtilities::strGeo(-1e-9, true), "S 00" DEG " 00' 00.000\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, NegativeRightAscensionKeepsItsSign)
{
    Formatted cases[] = {
        {UMBUtilities::strRa(-5.5), "-05:30:00.000"},
        {UMBUtilities::esoRa(-12.5), "-12+30+00.000"},
        {UMBUtilities::strRa(-5.5755), "-05:34:31.800"},
        {UMBUtilities::strEquatorial(-1.5, -2.5, -1, 0.25, 1e6),
            "RA -01:30:00.000 DEC -02:30:00.000  (-1.0, 0.2)  1000000.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(UMBUtilitiesTest, ValuesThatCannotBeSplitGiveADefinedText)
{
    // A plain cast of these to a 32-bit integer is undefined behaviour.
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    struct {
        std::string actual;
        const char* prefix;
    } cases[] = {
        {UMBUtilities::strDegrees(1e12), "2147483647:2147483647:"},
        {UMBUtilities::strDec(-inf), "-2147483647:2147483647:"},
        {UMBUtilities::strRa(nan), "00:00:"},
        {UMBUtilities::strGeo(nan, true), "N 00" DEG " 00' "},
        {UMBUtilities::strDegrees(2147483647.5), "2147483647:30:00.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual.rfind(c.prefix, 0), 0u) << c.actual;
    EXPECT_NE(UMBUtilities::strRa(nan).find("nan"), std::string::npos);
}

TEST(UMBUtilitiesTest, ToDecimalReadsThePublishedTexts)
{
    struct {
        const char* text;
        double value;
    } cases[] = {
        {"12:30:36", 12.51},
        {"-12 30", -12.5},
        {"S 33 52 04", -(33.0 + 52.0 / 60 + 4.0 / 3600)},
        {"W 151.2", -151.2},
        {"-12.5", -12.5},
        {"10S", 10},
        {"s 10", 10},
        {"N 45" DEG " 30' 15\"", 45.0 + 30.0 / 60 + 15.0 / 3600},
        {"12.5.3", 0},
        {"", 0},
        {" \t\n ", 0},
        {"E 10 30", 10.5},
        {"+12 30", 12.5},
        {"no digits", 0},
    };
    for (auto c : cases)
        EXPECT_NEAR(UMBUtilities::toDecimal(c.text), c.value, 1e-12) << c.text;
}

TEST(UMBUtilitiesTest, ToDecimalSumsAFourthFieldAndBeyond)
{
    struct {
        const char* text;
        double value;
    } cases[] = {
        {"1 2 3 4", 1 + 2.0 / 60 + 3.0 / 3600 + 4.0 / 216000},
        {"S 0:0:0:216000", -1},
        {"1:1:1:1:12960000", 1 + 1.0 / 60 + 1.0 / 3600 + 1.0 / 216000 + 1.0},
    };
    for (auto c : cases)
        EXPECT_NEAR(UMBUtilities::toDecimal(c.text), c.value, 1e-12) << c.text;
}

TEST(UMBUtilitiesTest, ToDecimalCountsALoneFullStopAsAnEmptyField)
{
    // A lone "." is a field that adds nothing but still takes its place, so
    // the field after it counts as seconds.
    struct {
        const char* text;
        double value;
    } cases[] = {
        {".", 0}, {"12 . 36", 12.01}, {"12:.:36", 12.01}, {"W .", 0}, {". 30", 0.5},
        {"12 1.2.3 36", 12.01}, // the same for a field with two full stops
    };
    for (auto c : cases)
        EXPECT_NEAR(UMBUtilities::toDecimal(c.text), c.value, 1e-12) << c.text;
}

TEST(UMBUtilitiesTest, ToDecimalSignComesFromTheFirstCharacterOnly)
{
    struct {
        const char* text;
        double value;
    } cases[] = {
        {"10S", 10}, {"10W", 10}, {"45N", 45}, {"12.5x", 12.5}, {"w 10", 10}, {"n 10", 10},
        {"S10", -10}, {"W10", -10}, {"-10d 30m", -10.5},
        {"N -10", 10}, // a later "-" is a separator
        {"  \xC2\xA0S 10", -10}, // the sign is read after trimming
        {"\xE2\x80\xA8-12.5\xC2\x85", -12.5}, // and a trimmed text can be one number
    };
    for (auto c : cases)
        EXPECT_NEAR(UMBUtilities::toDecimal(c.text), c.value, 1e-12) << c.text;
}

TEST(UMBUtilitiesTest, ToDecimalOfOneNumberKeepsItsOwnSign)
{
    EXPECT_TRUE(std::signbit(UMBUtilities::toDecimal("-0"))) << "-0 is one number, negative zero";
    EXPECT_EQ(UMBUtilities::toDecimal("1e3"), 1.05) << "no exponent: two fields, 1 and 3/60";
}

TEST(UMBUtilitiesTest, IsNumberAndParseNumber)
{
    struct {
        const char* text;
        bool isNumber;
        double value;
    } cases[] = {
        {"abc", false, 0.0},
        {" 12.5 ", true, 12.5},
        {"12.5x", false, 0.0},
        {"", false, 0.0},
        {"-3", true, -3.0},
        {".", false, 0.0},
        {"1e3", false, 0.0},
    };
    for (auto c : cases) {
        EXPECT_EQ(umb::isNumber(c.text), c.isNumber) << c.text;
        EXPECT_EQ(umb::parseNumber(c.text), c.value) << c.text;
    }
}
