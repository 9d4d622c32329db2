#include "cli/RunGloam.h"
#include "cli/TimeArg.h"
#include "support/ScopedEnv.h"

#include "platform/Json.h"
#include "umb/UMBDate.h"
#include "umb/UMBSun.h"
#include "umb/UMBUtilities.h"

#include <cmath>
#include <gtest/gtest.h>

using testing_cli::runGloam;

namespace {

platform::JsonValue jsonOf(const std::vector<std::string>& arguments)
{
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    std::string error;
    auto value = platform::parseJson(outcome.out, &error);
    EXPECT_TRUE(value.has_value()) << error << "\n" << outcome.out;
    return value ? *value : platform::JsonValue();
}

double number(const platform::JsonValue& object, const char* outer, const char* inner = nullptr)
{
    const platform::JsonValue* v = object.find(outer);
    if (v && inner)
        v = v->find(inner);
    EXPECT_TRUE(v && v->isNumber()) << outer << " " << (inner ? inner : "");
    return v && v->isNumber() ? v->asNumber() : NAN;
}

std::string text(const platform::JsonValue& object, const char* outer, const char* inner = nullptr)
{
    const platform::JsonValue* v = object.find(outer);
    if (v && inner)
        v = v->find(inner);
    EXPECT_TRUE(v && v->isString()) << outer << " " << (inner ? inner : "");
    return v && v->isString() ? v->asString() : std::string();
}

} // namespace

TEST(SunCommandTest, JsonGivesThePublishedSunOfJ2000)
{
    auto sun = jsonOf({"sun", "--time", "2000-01-01T12:00:00Z", "--json"});
    EXPECT_EQ(text(sun, "time"), "2000-01-01T12:00:00Z");
    EXPECT_DOUBLE_EQ(number(sun, "jd"), 2451545.0);
    // Longitude first, latitude second: the subsolar point (0.8263048, -23.0333508).
    EXPECT_NEAR(number(sun, "subsolar", "lon"), 0.8263048, 1e-6);
    EXPECT_NEAR(number(sun, "subsolar", "lat"), -23.0333508, 1e-6);
    EXPECT_NEAR(number(sun, "equatorial", "ra"), 18.7524615, 1e-6);
    EXPECT_NEAR(number(sun, "equatorial", "dec"), -23.0333508, 1e-6);
    EXPECT_NEAR(number(sun, "horizontal", "azimuth"), 178.0573062, 1e-6);
    EXPECT_NEAR(number(sun, "horizontal", "altitude"), 66.9526391, 1e-6);
    EXPECT_NEAR(number(sun, "distance"), 0.9833060709, 1e-9);
    EXPECT_EQ(number(sun, "observer", "lon"), 0.0);
    EXPECT_EQ(number(sun, "observer", "lat"), 0.0);
}

TEST(SunCommandTest, JsonNumbersReadBackToTheEnginesDoublesAndTextsAreTheEngines)
{
    umb::UMBDate date = cli::engineDateAt(1718916660000); // 2024-06-20T20:51:00Z, the solstice
    umb::UMBSun engine(date);
    auto sun = jsonOf({"sun", "--time", "2024-06-20T22:51:00+02:00", "--json"});
    EXPECT_EQ(text(sun, "time"), "2024-06-20T20:51:00Z");
    EXPECT_EQ(number(sun, "jd"), date.JD());
    EXPECT_EQ(number(sun, "subsolar", "lon"), engine.getSubsolar().x);
    EXPECT_EQ(number(sun, "subsolar", "lat"), engine.getSubsolar().y);
    EXPECT_EQ(number(sun, "equatorial", "ra"), engine.getEquatorial().x);
    EXPECT_EQ(number(sun, "distance"), engine.getDistance());
    EXPECT_NEAR(engine.getSubsolar().x, -132.3015858, 1e-6);
    EXPECT_NEAR(engine.getSubsolar().y, 23.4354250, 1e-6);

    using umb::UMBUtilities;
    EXPECT_EQ(text(sun, "text", "ra"), UMBUtilities::strRa(engine.getEquatorial().x));
    EXPECT_EQ(text(sun, "text", "dec"), UMBUtilities::strDec(engine.getEquatorial().y));
    EXPECT_EQ(text(sun, "text", "subsolarLat"), UMBUtilities::strGeo(engine.getSubsolar().y, true));
    EXPECT_EQ(
        text(sun, "text", "subsolarLon"), UMBUtilities::strGeo(engine.getSubsolar().x, false));
    EXPECT_EQ(text(sun, "text", "subsolarLat").substr(0, 6), "N 23\xC2\xB0");
    EXPECT_EQ(text(sun, "text", "subsolarLon").substr(0, 7), "W 132\xC2\xB0");
}

TEST(SunCommandTest, TheObserverMovesAltitudeAndAzimuthButNotTheSubsolarPoint)
{
    auto greenwich = jsonOf({"sun", "--time", "2000-01-01T12:00:00Z", "--json"});
    auto north
        = jsonOf({"sun", "--time", "2000-01-01T12:00:00Z", "--observer", "0,51.5", "--json"});
    EXPECT_NEAR(number(north, "horizontal", "azimuth"), 179.2110133, 1e-6);
    EXPECT_NEAR(number(north, "horizontal", "altitude"), 15.4631076, 1e-6);
    EXPECT_EQ(number(north, "observer", "lat"), 51.5);
    // West of Greenwich the engine counts its subsolar longitude from the
    // observer's meridian; the command reports the point on the Earth.
    auto west = jsonOf({"sun", "--time", "2000-01-01T12:00:00Z", "--observer=-74,40.7", "--json"});
    for (const auto* sun : {&north, &west}) {
        EXPECT_EQ(number(*sun, "subsolar", "lon"), number(greenwich, "subsolar", "lon"));
        EXPECT_EQ(number(*sun, "subsolar", "lat"), number(greenwich, "subsolar", "lat"));
        EXPECT_EQ(text(*sun, "text", "subsolarLon"), text(greenwich, "text", "subsolarLon"));
    }
    // Before dawn in New York: the Sun is below the horizon.
    EXPECT_LT(number(west, "horizontal", "altitude"), 0.0);
}

TEST(SunCommandTest, TextFormNamesEachFieldWithTheEnginesText)
{
    auto outcome = runGloam({"sun", "--time", "2000-01-01T12:00:00Z"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    struct {
        const char* name;
        const char* value;
    } rows[] = {
        {"time", "2000-01-01T12:00:00Z"},
        {"ra", "18:45:08.862"},
        {"dec", "-23:02:00.063"},
        {"subsolarLat", "S 23\xC2\xB0 02' 00.063\""},
        {"subsolarLon", "E 00\xC2\xB0 49' 34.697\""},
        {"distance", "0.9833061 AU"},
        {"altitude", "66.9526391"},
    };
    for (const auto& row : rows) {
        std::string start = std::string("\n") + row.name + " ";
        size_t at = ("\n" + outcome.out).find(start);
        ASSERT_NE(at, std::string::npos) << row.name << "\n" << outcome.out;
        size_t end = ("\n" + outcome.out).find('\n', at + 1);
        std::string line = ("\n" + outcome.out).substr(at + 1, end - at - 1);
        EXPECT_NE(line.find(row.value), std::string::npos) << line;
    }
}

TEST(SunCommandTest, BadValuesExitWithStatusTwoAndOneLineNamingThem)
{
    struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"sun", "--time", "2000-13-01T00:00:00Z"}, "2000-13-01T00:00:00Z"},
        {{"sun", "--time", "soon"}, "soon"},
        {{"sun", "--time", "2000-01-01T12:00"}, "2000-01-01T12:00"},
        {{"sun", "--observer", "200,0"}, "200"},
        {{"sun", "--observer", "0,91"}, "91"},
        {{"sun", "--observer", "1"}, "'1'"},
        {{"sun", "--observer", "1,2,3"}, "1,2,3"},
        {{"sun", "--observer", "east,north"}, "east"},
        {{"sun", "--observer=-74,1e1"}, "1e1"},
        {{"sun", "--json", "--observer", "nan,0"}, "nan"},
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

TEST(SunCommandTest, HelpNamesTheOptionsAndTheInstantsForm)
{
    auto outcome = runGloam({"sun", "--help"});
    EXPECT_EQ(outcome.status, 0);
    for (const char* text : {"--time", "--observer", "--json", "2024-06-20T20:51:00Z", "now"})
        EXPECT_NE(outcome.out.find(text), std::string::npos) << text;
}
