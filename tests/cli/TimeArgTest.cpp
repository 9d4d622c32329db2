#include "cli/TimeArg.h"
#include "cli/Command.h"

#include "platform/Clock.h"

#include "support/UmbFixtures.h"

#include <cmath>
#include <gtest/gtest.h>

using cli::isoUtc;
using cli::parseInstant;

TEST(TimeArgTest, ReadsEveryAcceptedSpellingAndRefusesTheRestSayingWhy)
{
    for (const auto& row : testing_support::dataTable("instants.tsv")) {
        std::string why;
        const std::optional<double> millis = parseInstant(row.at(0), &why);
        if (row.at(1) == "refused") {
            EXPECT_FALSE(millis) << row[0];
            EXPECT_NE(why.find(row.at(2)), std::string::npos) << row[0] << ": " << why;
        } else {
            ASSERT_TRUE(millis) << row[0] << ": " << why;
            EXPECT_DOUBLE_EQ(*millis, std::stod(row[1])) << row[0];
        }
    }
}

TEST(TimeArgTest, NowIsTheClocksInstant)
{
    platform::setClockForTesting([] { return 1718409601.25; });
    EXPECT_EQ(parseInstant("now"), 1718409601250.0);
    EXPECT_EQ(parseInstant(" NOW "), 1718409601250.0);
    platform::setClockForTesting(nullptr);
}

TEST(TimeArgTest, TheUsageErrorIsOneLineNamingOptionAndText)
{
    try {
        cli::instantFromOption("--time", "2024-13-01");
        FAIL() << "no error";
    } catch (const cli::UsageError& e) {
        std::string message = e.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(message.rfind("--time: '2024-13-01'", 0), 0u) << message;
        EXPECT_NE(message.find("2024-06-20T20:51:00Z"), std::string::npos) << message;
    }
}

TEST(TimeArgTest, WritesUtcWithMillisecondsOnlyWhenThereAreAny)
{
    struct {
        double millis;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
        {946728000500, "2000-01-01T12:00:00.500Z"},
        {946728000000.9, "2000-01-01T12:00:00Z"}, // floored, never rounded up
        {1709251199000, "2024-02-29T23:59:59Z"},
        {951868800000, "2000-03-01T00:00:00Z"}, // the first day of a 400-year era
        {-62167219200000, "0000-01-01T00:00:00Z"},
        {253402300799999, "9999-12-31T23:59:59.999Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isoUtc(c.millis), c.text) << c.text;
        EXPECT_EQ(parseInstant(c.text), std::floor(c.millis)) << c.text;
    }
}

TEST(TimeArgTest, TheEnginesDateNamesTheInstantsOwnSecondAndMinute)
{
    struct {
        const char* time;
        int hour, minute, second;
    } cases[] = {
        {"2024-06-20T20:51:00Z", 20, 51, 0},
        {"2024-02-29T23:59:59.999Z", 23, 59, 59},
        {"1969-12-31T23:59:00Z", 23, 59, 0},
    };
    for (const auto& c : cases) {
        const double millis = *parseInstant(c.time);
        umb::UMBDate date = cli::engineDateAt(millis);
        EXPECT_EQ(date.millis(), millis) << c.time;
        EXPECT_EQ(date.JD(), millis / 86400000.0 + 2440587.5) << c.time;
        EXPECT_EQ(date.Hour(), c.hour) << c.time;
        EXPECT_EQ(date.Minute(), c.minute) << c.time;
        EXPECT_EQ(date.Second(), c.second) << c.time;
    }
}
