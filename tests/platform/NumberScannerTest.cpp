#include "platform/NumberScanner.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

TEST(NumberScannerTest, AcceptsSignDigitsAndOneFullStopBetweenWhiteSpace)
{
    struct {
        const char* text;
        double value;
    } cases[] = {
        {"12.5", 12.5},
        {"-12.5", -12.5},
        {"+12.5", 12.5},
        {"007", 7},
        {"5.", 5},
        {".5", 0.5},
        {"-.25", -0.25},
        {" \t12.5\n ", 12.5},
        {"\xC2\xA0"
         "3\xE2\x80\xA8",
            3}, // NBSP, U+2028
        {"0.1", 0.1},
        {"123456789.123456789", 123456789.123456789},
    };
    for (auto c : cases) {
        auto value = platform::scanDecimalNumber(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(*value, c.value) << c.text; // nearest double, exactly
    }
}

TEST(NumberScannerTest, RejectsAnythingButOnePlainNumber)
{
    const char* cases[] = {
        "",
        "   ",
        ".",
        "-",
        "+",
        "-.",
        "12.5x",
        "x12.5",
        "12.5.3",
        "1 2",
        "- 12",
        "+-1",
        "1,5",
        "1,000", // no comma separator, no thousands separator
        "1e3",
        "1E3",
        "2.5e-1", // no exponent: E is a hemisphere in coordinate text
        "inf",
        "nan",
        "0x10",
        "12\xE2\x80\x8B", // zero-width space is not white space
        "\xFF"
        "1",
    };
    for (const char* text : cases)
        EXPECT_FALSE(platform::scanDecimalNumber(text).has_value()) << text;
}

TEST(NumberScannerTest, TooLargeIsNotANumberTooSmallIsZero)
{
    std::string huge(400, '9');
    EXPECT_FALSE(platform::scanDecimalNumber(huge).has_value()) << "no infinity from 400 nines";
    EXPECT_FALSE(platform::scanDecimalNumber("-" + huge + ".5").has_value());

    std::string tiny = "0." + std::string(400, '0') + "1";
    auto positive = platform::scanDecimalNumber(tiny);
    ASSERT_TRUE(positive.has_value());
    EXPECT_EQ(*positive, 0.0);
    EXPECT_FALSE(std::signbit(*positive));
    auto negative = platform::scanDecimalNumber("-" + tiny);
    ASSERT_TRUE(negative.has_value());
    EXPECT_TRUE(std::signbit(*negative)) << "the sign of an underflow survives";

    std::string subnormal = "0." + std::string(310, '0') + "1";
    auto small = platform::scanDecimalNumber(subnormal);
    ASSERT_TRUE(small.has_value());
    EXPECT_GT(*small, 0.0) << "1e-311 is a subnormal, not zero";
}
