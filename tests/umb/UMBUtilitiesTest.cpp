#include "umb/UMBUtilities.h"

#include "support/UmbFixtures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using testing_support::dataTable;
using umb::UMBUtilities;

TEST(UMBUtilitiesTest, FormattersGiveTheTabledTexts)
{
    for (const auto& row : dataTable("utilities-format.tsv")) {
        std::istringstream in(row.at(1));
        double a[5] = {};
        for (double& v : a) {
            std::string word;
            if (in >> word)
                v = std::stod(word);
        }
        const std::string& fn = row[0];
        std::string text = fn == "strRa" ? UMBUtilities::strRa(a[0])
            : fn == "esoRa"              ? UMBUtilities::esoRa(a[0])
            : fn == "strDec"             ? UMBUtilities::strDec(a[0])
            : fn == "esoDec"             ? UMBUtilities::esoDec(a[0])
            : fn == "strDegrees"         ? UMBUtilities::strDegrees(a[0])
            : fn == "strGeo"             ? UMBUtilities::strGeo(a[0], a[1] != 0)
                             : UMBUtilities::strEquatorial(a[0], a[1], a[2], a[3], a[4]);
        if (row.size() > 3)
            EXPECT_EQ(text.rfind(row[2], 0), 0u) << fn << " " << row[1] << ": " << text;
        else
            EXPECT_EQ(text, row[2]) << fn << " " << row[1];
    }
    EXPECT_NE(UMBUtilities::strRa(NAN).find("nan"), std::string::npos);
}

TEST(UMBUtilitiesTest, ToDecimalReadsTheTabledTexts)
{
    for (const auto& row : dataTable("to-decimal.tsv"))
        EXPECT_NEAR(UMBUtilities::toDecimal(row.at(0)), std::stod(row.at(1)), 1e-12) << row[0];
    EXPECT_TRUE(std::signbit(UMBUtilities::toDecimal("-0"))) << "-0 is one number, negative zero";
}

TEST(UMBUtilitiesTest, IsNumberAndParseNumber)
{
    struct {
        const char* text;
        bool isNumber;
        double value;
    } cases[] = {{"abc", false, 0.0}, {" 12.5 ", true, 12.5}, {"12.5x", false, 0.0},
        {"", false, 0.0}, {"-3", true, -3.0}, {".", false, 0.0}, {"1e3", false, 0.0}};
    for (auto c : cases) {
        EXPECT_EQ(umb::isNumber(c.text), c.isNumber) << c.text;
        EXPECT_EQ(umb::parseNumber(c.text), c.value) << c.text;
    }
}
