#include "cli/RunGloam.h"
#include "support/ScopedEnv.h"

#include "platform/Json.h"
#include "umb/UMBDate.h"

#include <cmath>
#include <gtest/gtest.h>

using testing_cli::runGloam;
using testing_support::ScopedEnv;

namespace {

platform::JsonValue dateJson(const std::string& time, const std::string& extra = {})
{
    std::vector<std::string> arguments = {"date", "--time", time, "--json"};
    if (!extra.empty())
        arguments.push_back(extra);
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    auto value = platform::parseJson(outcome.out);
    EXPECT_TRUE(value.has_value()) << outcome.out;
    return value ? *value : platform::JsonValue();
}

double number(const platform::JsonValue& object, const char* name)
{
    const platform::JsonValue* v = object.find(name);
    EXPECT_TRUE(v && v->isNumber()) << name;
    return v && v->isNumber() ? v->asNumber() : NAN;
}

std::string text(const platform::JsonValue& object, const char* name)
{
    const platform::JsonValue* v = object.find(name);
    EXPECT_TRUE(v && v->isString()) << name;
    return v && v->isString() ? v->asString() : std::string();
}

} // namespace

TEST(DateCommandTest, JsonHoldsTheEnginesFieldsForTheInstant)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "UTC");
    constexpr double kMillis = 1709231415000; // 2024-02-29T18:30:15Z
    umb::UMBDate engine;
    engine.initializeMilliseconds(kMillis);
    auto date = dateJson("2024-02-29T18:30:15Z", "--longitude=-75");
    EXPECT_EQ(text(date, "time"), "2024-02-29T18:30:15Z");
    EXPECT_NEAR(number(date, "jd"), 2460370.2710069446, 1e-9);
    EXPECT_EQ(number(date, "jd"), engine.JD());
    EXPECT_EQ(number(date, "millis"), kMillis);
    EXPECT_EQ(number(date, "year"), 2024);
    EXPECT_EQ(number(date, "month"), 2);
    EXPECT_EQ(number(date, "day"), 29);
    EXPECT_EQ(number(date, "hour"), 18);
    EXPECT_EQ(number(date, "minute"), 30);
    // The engine floors the seconds of a Julian Date; whatever it makes of
    // this one, the command shows it as it is.
    EXPECT_EQ(number(date, "second"), engine.Second());
    EXPECT_EQ(number(date, "dblsec"), engine.dblsec());
    EXPECT_EQ(text(date, "headerCard"), engine.getHeaderCard());
    EXPECT_EQ(text(date, "dayNumber"), engine.getDayNumber());
    EXPECT_EQ(number(date, "localDayNumber"), 20240229183015.0);
    EXPECT_EQ(text(date, "currentFormat"), "02-29-2024 06:30:15 PM UTC");
    EXPECT_EQ(number(date, "longitude"), -75.0);
    EXPECT_EQ(number(date, "localSiderealTime"), engine.localSiderialTime(-75));
}

TEST(DateCommandTest, TheSiderealTimeOfJ2000AtGreenwichIsThePublishedOne)
{
    auto date = dateJson("2000-01-01T12:00:00Z");
    EXPECT_NEAR(number(date, "localSiderealTime"), 280.46061837, 1e-8);
    EXPECT_EQ(number(date, "longitude"), 0.0);
}

TEST(DateCommandTest, LocalFieldsFollowTheZoneAcrossDaylightTime)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "America/New_York");
    struct {
        const char* time;
        const char* currentFormat;
        double localDayNumber;
    } cases[] = {
        {"2024-01-15T17:00:00Z", "01-15-2024 12:00:00 PM EST", 20240115120000},
        {"2024-07-15T16:00:00Z", "07-15-2024 12:00:00 PM EDT", 20240715120000},
        // The spring change at 2:00 local standard time: one second apart.
        {"2024-03-10T06:59:59Z", "03-10-2024 01:59:59 AM EST", 20240310015959},
        {"2024-03-10T07:00:00Z", "03-10-2024 03:00:00 AM EDT", 20240310030000},
        {"2024-11-03T05:59:59Z", "11-03-2024 01:59:59 AM EDT", 20241103015959},
        {"2024-11-03T06:00:00Z", "11-03-2024 01:00:00 AM EST", 20241103010000},
        // Late on the last day of a month here, and already the next in UTC.
        {"2024-06-30T23:30:00-04:00", "06-30-2024 11:30:00 PM EDT", 20240630233000},
    };
    for (const auto& c : cases) {
        auto date = dateJson(c.time);
        EXPECT_EQ(text(date, "currentFormat"), c.currentFormat) << c.time;
        EXPECT_EQ(number(date, "localDayNumber"), c.localDayNumber) << c.time;
    }
    // The calendar fields stay universal time.
    auto lastHour = dateJson("2024-06-30T23:30:00-04:00");
    EXPECT_EQ(number(lastHour, "month"), 7);
    EXPECT_EQ(number(lastHour, "day"), 1);
    EXPECT_EQ(number(lastHour, "hour"), 3);
}

TEST(DateCommandTest, TextFormShowsTheFieldsAndTheLocalText)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "America/New_York");
    auto outcome = runGloam({"date", "--time", "2024-01-15T17:00:00Z"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    for (const char* piece : {"time ", "2024-01-15T17:00:00Z", "jd ", "2460325.20833333",
             "currentFormat ", "01-15-2024 12:00:00 PM EST", "localSiderealTime ", "dayNumber "})
        EXPECT_NE(outcome.out.find(piece), std::string::npos) << piece << "\n" << outcome.out;
}

TEST(DateCommandTest, BadValuesExitWithStatusTwoAndOneLineNamingThem)
{
    struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"date", "--time", "2024-02-30"}, "2024-02-30"},
        {{"date", "--time", "12:00"}, "12:00"},
        {{"date", "--longitude", "181"}, "181"},
        {{"date", "--longitude=-180.5"}, "-180.5"},
        {{"date", "--longitude", "west"}, "west"},
        {{"date", "--longitude", ""}, "--longitude"},
    };
    for (const auto& c : cases) {
        auto outcome = runGloam(c.arguments);
        EXPECT_EQ(outcome.status, 2) << c.named;
        EXPECT_EQ(outcome.out, "") << c.named;
        ASSERT_FALSE(outcome.err.empty()) << c.named;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
        EXPECT_NE(outcome.err.find(c.named), std::string::npos) << outcome.err;
    }
}
