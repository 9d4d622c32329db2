#include "cli/TimeArg.h"
#include "cli/Command.h"

#include "platform/Clock.h"

#include <cmath>
#include <gtest/gtest.h>

using cli::isoUtc;
using cli::parseInstant;

TEST(TimeArgTest, ReadsEveryAcceptedSpellingToTheSameInstant)
{
    constexpr double kSolstice = 1718916660000; // 2024-06-20T20:51:00Z
    struct {
        const char* text;
        double millis;
    } cases[] = {
        {"2000-01-01T12:00:00Z", 946728000000},
        {"1970-01-01", 0},
        {"1969-12-31T23:59:59Z", -1000},
        {"2024-06-20T20:51:00Z", kSolstice},
        {"2024-06-20T20:51Z", kSolstice},
        {"2024-06-20t20:51:00z", kSolstice},
        {"2024-06-20 20:51:00Z", kSolstice},
        {" 2024-06-20T20:51:00Z\n", kSolstice},
        {"2024-06-20T22:51:00+02:00", kSolstice},
        {"2024-06-20T22:51+0200", kSolstice},
        {"2024-06-20T22:51+02", kSolstice},
        {"2024-06-20T15:21:00-05:30", kSolstice},
        {"2024-06-21T00:21:00+03:30", kSolstice}, // the offset moves the date back a day
        {"2024-06-21T19:51+23:00", kSolstice}, // the largest hour and minute of an offset
        {"2024-06-20T23:50+02:59", kSolstice},
        {"2000-01-01T12:00:00.5Z", 946728000500},
        {"2000-01-01T12:00:00,25Z", 946728000250},
        {"2000-01-01T12:00:00.0005Z", 946728000000.5},
        {"2024-02-29", 1709164800000},
        {"2000-02-29", 951782400000},
        {"0000-01-01T00:00:00Z", -62167219200000},
        {"9999-12-31T23:59:59Z", 253402300799000},
    };
    for (const auto& c : cases) {
        std::string why;
        std::optional<double> millis = parseInstant(c.text, &why);
        ASSERT_TRUE(millis.has_value()) << c.text << ": " << why;
        EXPECT_DOUBLE_EQ(*millis, c.millis) << c.text;
    }
}

TEST(TimeArgTest, NowIsTheClocksInstant)
{
    platform::setClockForTesting([] { return 1718409601.25; });
    EXPECT_EQ(parseInstant("now"), 1718409601250.0);
    EXPECT_EQ(parseInstant(" NOW "), 1718409601250.0);
    platform::setClockForTesting(nullptr);
}

TEST(TimeArgTest, RefusesWhatIsNotAnInstantAndSaysWhy)
{
    struct {
        const char* text;
        const char* reason; // a piece of the explanation
    } cases[] = {
        {"", "empty"},
        {"yesterday", "date"},
        {"20240620T205100Z", "date"},
        {"2024-6-20", "month"},
        {"2024-06-2", "day"},
        {"2024-13-01", "month 13"},
        {"2024-00-10", "month 0"},
        {"2024-06-31", "day 31"},
        {"2023-02-29", "day 29"},
        {"1900-02-29", "day 29"},
        {"2024-06-20T", "time"},
        {"2024-06-20T20:5Z", "minutes"},
        {"2024-06-20T20:51", "Z for UTC"},
        {"2024-06-20T20:51:00", "Z for UTC"},
        {"2024-06-20T24:00:00Z", "hour 24"},
        {"2024-06-20T20:60Z", "minute 60"},
        {"2024-06-20T20:51:60Z", "second 60"},
        {"2024-06-20T20:51:00.Z", "digits"},
        {"2024-06-20T20:51:00+2:00", "offset"},
        {"2024-06-20T20:51:00+24:00", "offset"},
        {"2024-06-20T20:51:00+02:60", "offset"},
        {"2024-06-20T20:51:00+02:", "offset"},
        {"2024-06-20T20:51:00Zjunk", "after the zone"},
        {"2024-06-20T20:51:00 Z", "after the time"},
        {"2024-06-20Z", "T and a time"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(parseInstant(c.text, &why).has_value()) << c.text;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.text << ": " << why;
    }
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
