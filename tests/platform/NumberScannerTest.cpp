// The locale-free number scanner: a sign, digits and one full stop between
// white space, nothing else (E is a hemisphere in coordinate text, so no
// exponent); the nearest double, exactly.
#include "platform/NumberScanner.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using platform::scanDecimalNumber;

TEST(NumberScannerTest, AcceptsSignDigitsAndOneFullStopBetweenWhiteSpace)
{
    struct {
        const char* text;
        double value;
    } cases[] = {{"12.5", 12.5}, {"-12.5", -12.5}, {"+12.5", 12.5}, {"007", 7}, {"5.", 5},
        {".5", 0.5}, {"-.25", -0.25}, {" \t12.5\n ", 12.5}, {"\u00A03\u2028", 3}, {"0.1", 0.1},
        {"123456789.123456789", 123456789.123456789}};
    for (auto c : cases)
        EXPECT_EQ(scanDecimalNumber(c.text), c.value) << c.text;
    // NBSP and U+2028 are white space; a zero-width space is not.
    for (const char* text :
        {"", "   ", ".", "-", "+", "-.", "12.5x", "x12.5", "12.5.3", "1 2", "- 12", "+-1", "1,5",
            "1,000", "1e3", "1E3", "2.5e-1", "inf", "nan", "0x10", "12\u200B", "\xFF\x31"})
        EXPECT_FALSE(scanDecimalNumber(text)) << text;
}

TEST(NumberScannerTest, TooLargeIsNotANumberTooSmallIsZeroWithItsSign)
{
    const std::string huge(400, '9'), tiny = "0." + std::string(400, '0') + "1";
    EXPECT_FALSE(scanDecimalNumber(huge)) << "no infinity from 400 nines";
    EXPECT_FALSE(scanDecimalNumber("-" + huge + ".5"));
    auto positive = scanDecimalNumber(tiny), negative = scanDecimalNumber("-" + tiny);
    ASSERT_TRUE(positive && negative);
    EXPECT_EQ(*positive, 0.0);
    EXPECT_FALSE(std::signbit(*positive));
    EXPECT_TRUE(std::signbit(*negative)) << "the sign of an underflow survives";
    EXPECT_GT(scanDecimalNumber("0." + std::string(310, '0') + "1").value_or(0), 0.0)
        << "1e-311 is a subnormal, not zero";
}
