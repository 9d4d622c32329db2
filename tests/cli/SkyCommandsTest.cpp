// The sky in the commands, one smoke case each: the Sun of J2000 in JSON and
// text, the Moon, the day's events, the exact instant, the twilight looks and
// the Moon on the map, and bad values. The rules are tested on the engine.
#include "cli/RunGloam.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "platform/Image.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using platform::JsonValue;
using namespace testing_cli;

namespace {

std::vector<std::string> keysOf(const JsonValue& object)
{
    std::vector<std::string> keys;
    for (const auto& [name, value] : object.asObject())
        keys.push_back(name);
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace

TEST(SkyCommandsTest, SunJsonAndTextGiveThePublishedSunOfJ2000)
{
    const std::vector<std::string> j2000 = {"sun", "--time", "2000-01-01T12:00:00Z"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), j2000.begin(), j2000.end());
        return jsonOf(more);
    };
    auto sun = with({"--json"});
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

    // West of Greenwich the engine counts its subsolar longitude from the
    // observer's meridian; the command reports the point on the Earth.
    auto west = with({"--json", "--observer=-74,40.7"});
    EXPECT_EQ(number(west, "subsolar", "lon"), number(sun, "subsolar", "lon"));
    EXPECT_EQ(platform::toJson(*west.find("text")), platform::toJson(*sun.find("text")));
    EXPECT_LT(number(west, "horizontal", "altitude"), 0.0) << "before dawn in New York";
    EXPECT_EQ(number(west, "observer", "lat"), 40.7);

    auto outcome = runGloam(j2000);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    // The name, the padding of the table, then the value.
    for (const char* row : {"\ntime +2000-01-01T12:00:00Z\n", "\nra +18:45:08.862 ",
             "\ndec +-23:02:00.063 ", "\nsubsolarLat +S 23\xC2\xB0 02' 00.063\" ",
             "\nsubsolarLon +E 00\xC2\xB0 49' 34.697\" ", "\ndistance +0.9833061 AU\n",
             "\naltitude +66.9526391"})
        EXPECT_TRUE(std::regex_search("\n" + outcome.out, std::regex(row))) << row << outcome.out;
}

TEST(SkyCommandsTest, MoonJsonIsExactlyTheIssuesObject)
{
    // Meeus 47.a and 48.a at 0h UT, a minute of Terrestrial Time later.
    auto moon = jsonOf({"moon", "--time", "1992-04-12T00:00:00Z", "--json"});
    EXPECT_EQ(keysOf(moon),
        (std::vector<std::string> {"distance", "ecliptic", "equatorial", "horizontal",
            "illuminated", "jd", "observer", "phaseAngle", "sublunar", "time", "waxing"}));
    EXPECT_NEAR(number(moon, "ecliptic", "lon"), 133.162655, 0.02);
    EXPECT_NEAR(number(moon, "ecliptic", "lat"), -3.229126, 0.01);
    EXPECT_NEAR(number(moon, "distance"), 368409.7, 5);
    EXPECT_NEAR(number(moon, "equatorial", "ra"), 134.688470 / 15, 0.002);
    EXPECT_NEAR(number(moon, "illuminated"), 0.6786, 0.001);
    EXPECT_TRUE(moon.find("waxing")->asBool());
    EXPECT_EQ(moon.find("events"), nullptr);

    auto seen
        = jsonOf({"moon", "--time", "2024-06-20T20:51:00Z", "--observer", "13.4,52.5", "--json"});
    EXPECT_EQ(keysOf(*seen.find("events")),
        (std::vector<std::string> {"moonrise", "moonset", "transit"}));
    EXPECT_EQ(seen.find("events")->find("moonset")->asString(), "2024-06-21T01:21:09Z");
    EXPECT_NEAR(number(seen, "horizontal", "altitude"), 7.97, 0.01);
}

TEST(SkyCommandsTest, SunEventsInJsonAndInBothZonesOfTheTable)
{
    auto sun = jsonOf({"sun", "--time", "2024-06-21", "--observer=-0.1278,51.5074", "--json"});
    const JsonValue* events = sun.find("events");
    ASSERT_TRUE(events);
    EXPECT_EQ(keysOf(*events),
        (std::vector<std::string> {"astronomicalDawn", "astronomicalDusk", "civilDawn", "civilDusk",
            "nauticalDawn", "nauticalDusk", "solarNoon", "sunrise", "sunset"}));
    const std::regex iso("2024-06-2[12]T\\d\\d:\\d\\d:\\d\\dZ");
    EXPECT_TRUE(std::regex_match(events->find("sunrise")->asString(), iso));
    EXPECT_EQ(events->find("sunrise")->asString().substr(0, 16), "2024-06-21T03:43");
    EXPECT_TRUE(events->find("astronomicalDawn")->isNull()); // London's June nights
    EXPECT_EQ(jsonOf({"sun", "--json"}).find("events"), nullptr);

    testing_support::ScopedEnv zone("TZ", "Europe/London");
    auto table = runGloam({"sun", "--time", "2024-06-21", "--observer=-0.1278,51.5074"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_TRUE(std::regex_search(
        table.out, std::regex("\nsunrise +2024-06-21T03:43:\\d\\dZ +2024-06-21 04:43:\\d\\d ")))
        << table.out;
    EXPECT_NE(table.out.find("astronomicalDawn  none in the 24 hours"), std::string::npos);
}

TEST(SkyCommandsTest, TheSunMovesWithTheSecondsAndTheDateNeverShowsSixty)
{
    auto at00 = jsonOf({"sun", "--time", "2024-06-20T20:51:00Z", "--json"});
    auto at59 = jsonOf({"sun", "--time", "2024-06-20T20:51:59Z", "--json"});
    EXPECT_NEAR(number(at00, "subsolar", "lon") - number(at59, "subsolar", "lon"), 0.2458, 0.001);
    auto date = jsonOf({"date", "--time", "2024-06-20T20:51:00Z", "--json"});
    EXPECT_EQ(date.find("headerCard")->asString(), "2024-06-20T20:51:00.000");
    EXPECT_EQ(number(date, "minute"), 51);
    EXPECT_EQ(number(date, "second"), 0);
}

TEST(SkyCommandsTest, RenderDrawsTheTwilightAndTheMoon)
{
    testing_support::TempDir dir;
    const std::string plain = dir / "blur.png", bands = dir / "bands.png";
    // New Moon over the Sun would hide the disc: take the first quarter.
    const char* time = "2024-06-14T05:18:00Z";
    ASSERT_EQ(
        runGloam({"render", "--time", time, "--size", "360x180", "--sun", "none", "-o", plain})
            .status,
        0);
    auto outcome = runGloam({"render", "--time", time, "--size", "360x180", "--sun", "none",
        "--terminator", "bands", "--moon", "--marker-size", "9", "-o", bands});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    auto a = platform::Image::fromFile(plain), b = platform::Image::fromFile(bands);
    ASSERT_TRUE(a && b);
    // The sublunar point (-167.67, 4.06) is pixel (12, 85): the disc's west
    // half is lit, its east half dim, and without --moon neither is there.
    const uint8_t* lit = b->bitmap()->pixelAt(9, 85);
    const uint8_t* dim = b->bitmap()->pixelAt(15, 85);
    EXPECT_GT(lit[0], 200);
    EXPECT_LT(dim[0], 90);
    EXPECT_NE(a->bitmap()->pixelAt(9, 85)[0], lit[0]);
    // The moon picture is the only difference outside the twilight: deep in
    // the day both maps are the base map.
    EXPECT_EQ(a->bitmap()->pixelAt(280, 60)[1], b->bitmap()->pixelAt(280, 60)[1]);
}

TEST(SkyCommandsTest, BadValuesAreStatusTwoWithOneLineNamingThem)
{
    struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"render", "--terminator", "twilight", "-o", "x.png"}, "twilight"},
        {{"render", "--moon", "--marker-size", "0", "-o", "x.png"}, "0"},
        {{"moon", "--observer", "0,91"}, "91"},
        {{"moon", "--observer", "east,0"}, "east"},
        {{"moon", "--time", "yesterday"}, "yesterday"},
        {{"sun", "--observer=-10,-90.5"}, "-90.5"},
        {{"sun", "--time", "2000-13-01T00:00:00Z"}, "2000-13-01T00:00:00Z"},
        {{"sun", "--observer", "200,0"}, "200"},
        {{"sun", "--observer", "1"}, "'1'"},
        {{"sun", "--json", "--observer", "nan,0"}, "nan"},
    };
    for (const auto& c : cases)
        expectUsageError(c.arguments, c.named);
}
