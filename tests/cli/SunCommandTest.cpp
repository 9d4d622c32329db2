#include "cli/RunGloam.h"

#include "platform/Json.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace testing_cli;

namespace {

platform::JsonValue sunJson(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"sun", "--json", "--time", "2000-01-01T12:00:00Z"});
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    auto value = platform::parseJson(outcome.out);
    EXPECT_TRUE(value.has_value()) << outcome.out;
    return value ? *value : platform::JsonValue();
}

double number(const platform::JsonValue& object, const char* outer, const char* inner)
{
    const platform::JsonValue* v = object.find(outer);
    v = v ? v->find(inner) : nullptr;
    EXPECT_TRUE(v && v->isNumber()) << outer << " " << inner;
    return v && v->isNumber() ? v->asNumber() : NAN;
}

} // namespace

TEST(SunCommandTest, JsonGivesThePublishedSunOfJ2000)
{
    auto sun = sunJson({});
    EXPECT_EQ(sun.find("time")->asString(), "2000-01-01T12:00:00Z");
    EXPECT_DOUBLE_EQ(sun.find("jd")->asNumber(), 2451545.0);
    EXPECT_NEAR(sun.find("distance")->asNumber(), 0.9833060709, 1e-9);
    // Longitude first, latitude second: the subsolar point (0.8263048, -23.0333508).
    const struct {
        const char *outer, *inner;
        double value;
    } numbers[] = {
        {"subsolar", "lon", 0.8263048},
        {"subsolar", "lat", -23.0333508},
        {"equatorial", "ra", 18.7524615},
        {"equatorial", "dec", -23.0333508},
        {"horizontal", "azimuth", 178.0573062},
        {"horizontal", "altitude", 66.9526391},
        {"observer", "lon", 0},
        {"observer", "lat", 0},
    };
    for (const auto& n : numbers)
        EXPECT_NEAR(number(sun, n.outer, n.inner), n.value, 1e-6) << n.outer << " " << n.inner;
    EXPECT_EQ(sun.find("text")->find("subsolarLon")->asString(), "E 00\xC2\xB0 49' 34.697\"");
}

TEST(SunCommandTest, TheObserverMovesAltitudeAndAzimuthButNotTheSubsolarPoint)
{
    auto greenwich = sunJson({});
    auto north = sunJson({"--observer", "0,51.5"});
    EXPECT_NEAR(number(north, "horizontal", "azimuth"), 179.2110133, 1e-6);
    EXPECT_NEAR(number(north, "horizontal", "altitude"), 15.4631076, 1e-6);
    EXPECT_EQ(number(north, "observer", "lat"), 51.5);
    // West of Greenwich the engine counts its subsolar longitude from the
    // observer's meridian; the command reports the point on the Earth.
    auto west = sunJson({"--observer=-74,40.7"});
    EXPECT_EQ(number(west, "subsolar", "lon"), number(greenwich, "subsolar", "lon"));
    EXPECT_EQ(number(west, "subsolar", "lat"), number(greenwich, "subsolar", "lat"));
    EXPECT_EQ(platform::toJson(*west.find("text")), platform::toJson(*greenwich.find("text")));
    EXPECT_LT(number(west, "horizontal", "altitude"), 0.0) << "before dawn in New York";
}

TEST(SunCommandTest, TextFormNamesEachFieldWithTheEnginesText)
{
    auto outcome = runGloam({"sun", "--time", "2000-01-01T12:00:00Z"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string out = "\n" + outcome.out;
    for (const std::string line :
        {"time 2000-01-01T12:00:00Z", "ra 18:45:08.862", "dec -23:02:00.063",
            "subsolarLat S 23\xC2\xB0 02' 00.063\"", "subsolarLon E 00\xC2\xB0 49' 34.697\"",
            "distance 0.9833061 AU", "altitude 66.9526391"}) {
        // The name, the padding of the table, then the value.
        const std::string name = line.substr(0, line.find(' ')), value = line.substr(name.size());
        size_t at = out.find("\n" + name + " ");
        ASSERT_NE(at, std::string::npos) << name << "\n" << outcome.out;
        std::string row = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
        EXPECT_NE(row.find(value.substr(1)), std::string::npos) << row;
    }
}

TEST(SunCommandTest, BadValuesExitWithStatusTwoAndOneLineNamingThem)
{
    const struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"sun", "--time", "2000-13-01T00:00:00Z"}, "2000-13-01T00:00:00Z"},
        {{"sun", "--observer", "200,0"}, "200"},
        {{"sun", "--observer", "0,91"}, "91"},
        {{"sun", "--observer", "1"}, "'1'"},
        {{"sun", "--observer", "east,north"}, "east"},
        {{"sun", "--json", "--observer", "nan,0"}, "nan"},
    };
    for (const auto& c : cases)
        expectUsageError(c.arguments, c.named);
    auto help = runGloam({"sun", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"--observer", "2024-06-20T20:51:00Z", "now"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}
