#include "cli/RunGloam.h"
#include "support/ScopedEnv.h"

#include "umb/UMBDate.h"

#include <gtest/gtest.h>

using namespace testing_cli;
using testing_support::ScopedEnv;

namespace {

// A field as JSON text, so that a number and a string compare alike.
std::string field(const platform::JsonValue& object, const char* name)
{
    const platform::JsonValue* v = object.find(name);
    return v ? platform::toJson(*v) : "(none)";
}

} // namespace

TEST(DateCommandTest, JsonHoldsTheEnginesFieldsForTheInstant)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "UTC");
    umb::UMBDate engine;
    engine.initializeMilliseconds(1709231415000);
    auto date = jsonOf({"date", "--json", "--time", "2024-02-29T18:30:15Z", "--longitude=-75"});
    const std::pair<const char*, std::string> fields[] = {
        {"time", "\"2024-02-29T18:30:15Z\""},
        {"millis", "1709231415000"},
        {"year", "2024"},
        {"month", "2"},
        {"day", "29"},
        {"hour", "18"},
        {"minute", "30"},
        {"localDayNumber", "20240229183015"},
        {"currentFormat", "\"02-29-2024 06:30:15 PM UTC\""},
        {"longitude", "-75"},
        // The engine floors the seconds of a Julian Date; whatever it makes
        // of this one, the command shows it as it is.
        {"second", std::to_string(engine.Second())},
        {"headerCard", platform::toJson(engine.getHeaderCard())},
        {"dayNumber", platform::toJson(engine.getDayNumber())},
    };
    for (const auto& [name, json] : fields)
        EXPECT_EQ(field(date, name), json) << name;
    EXPECT_NEAR(date.find("jd")->asNumber(), 2460370.2710069446, 1e-9);
    EXPECT_EQ(date.find("jd")->asNumber(), engine.JD());
    EXPECT_EQ(date.find("dblsec")->asNumber(), engine.dblsec());
    EXPECT_EQ(date.find("localSiderealTime")->asNumber(), engine.localSiderialTime(-75));
}

TEST(DateCommandTest, LocalFieldsFollowTheZoneAndCalendarFieldsStayUniversal)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "America/New_York");
    // Late on the last day of a month here, and already the next in UTC.
    auto date = jsonOf({"date", "--json", "--time", "2024-06-30T23:30:00-04:00"});
    EXPECT_EQ(field(date, "currentFormat"), "\"06-30-2024 11:30:00 PM EDT\"");
    EXPECT_EQ(field(date, "localDayNumber"), "20240630233000");
    EXPECT_EQ(field(date, "month"), "7");
    EXPECT_EQ(field(date, "day"), "1");
    EXPECT_EQ(field(date, "hour"), "3");
    EXPECT_EQ(field(date, "longitude"), "0");

    auto outcome = runGloam({"date", "--time", "2024-01-15T17:00:00Z"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    for (const char* piece : {"time ", "2024-01-15T17:00:00Z", "jd ", "2460325.20833333",
             "currentFormat ", "01-15-2024 12:00:00 PM EST", "localSiderealTime ", "dayNumber "})
        EXPECT_NE(outcome.out.find(piece), std::string::npos) << piece << "\n" << outcome.out;
}

TEST(DateCommandTest, BadValuesExitWithStatusTwoAndOneLineNamingThem)
{
    const struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"date", "--time", "2024-02-30"}, "2024-02-30"},
        {{"date", "--longitude", "181"}, "181"},
        {{"date", "--longitude=-180.5"}, "-180.5"},
        {{"date", "--longitude", "west"}, "west"},
    };
    for (const auto& c : cases)
        expectUsageError(c.arguments, c.named);
}
