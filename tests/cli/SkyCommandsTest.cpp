// The sky in the commands, one smoke case each: the Moon, the day's events,
// the exact instant, the twilight looks and the Moon on the map, and bad
// values. The rules themselves are tested on the engine.
#include "cli/RunGloam.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "platform/Image.h"
#include "platform/Json.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using platform::JsonValue;
using testing_cli::runGloam;

namespace {

JsonValue jsonOf(const std::vector<std::string>& arguments)
{
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    auto value = platform::parseJson(outcome.out);
    EXPECT_TRUE(value && value->isObject()) << outcome.out;
    return value ? *value : JsonValue();
}

double number(const JsonValue& object, const char* outer, const char* inner = nullptr)
{
    const JsonValue* v = object.find(outer);
    if (v && inner)
        v = v->find(inner);
    EXPECT_TRUE(v && v->isNumber()) << outer << " " << (inner ? inner : "");
    return v && v->isNumber() ? v->asNumber() : NAN;
}

std::vector<std::string> keysOf(const JsonValue& object)
{
    std::vector<std::string> keys;
    for (const auto& [name, value] : object.asObject())
        keys.push_back(name);
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace

TEST(SkyCommandsTest, MoonJsonIsExactlyTheIssuesObject)
{
    // Meeus 47.a and 48.a at 0h UT, a minute of Terrestrial Time later.
    auto moon = jsonOf({"moon", "--time", "1992-04-12T00:00:00Z", "--json"});
    EXPECT_EQ(keysOf(moon),
        (std::vector<std::string> {"distance", "ecliptic", "equatorial", "horizontal", "illuminated",
            "jd", "observer", "phaseAngle", "sublunar", "time", "waxing"}));
    EXPECT_NEAR(number(moon, "ecliptic", "lon"), 133.162655, 0.02);
    EXPECT_NEAR(number(moon, "ecliptic", "lat"), -3.229126, 0.01);
    EXPECT_NEAR(number(moon, "distance"), 368409.7, 5);
    EXPECT_NEAR(number(moon, "equatorial", "ra"), 134.688470 / 15, 0.002);
    EXPECT_NEAR(number(moon, "illuminated"), 0.6786, 0.001);
    EXPECT_TRUE(moon.find("waxing")->asBool());
    EXPECT_EQ(moon.find("events"), nullptr);

    auto seen = jsonOf({"moon", "--time", "2024-06-20T20:51:00Z", "--observer", "13.4,52.5", "--json"});
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
        (std::vector<std::string> {"astronomicalDawn", "astronomicalDusk", "civilDawn",
            "civilDusk", "nauticalDawn", "nauticalDusk", "solarNoon", "sunrise", "sunset"}));
    const std::regex iso("2024-06-2[12]T\\d\\d:\\d\\d:\\d\\dZ");
    EXPECT_TRUE(std::regex_match(events->find("sunrise")->asString(), iso));
    EXPECT_EQ(events->find("sunrise")->asString().substr(0, 16), "2024-06-21T03:43");
    EXPECT_TRUE(events->find("astronomicalDawn")->isNull()); // London's June nights
    EXPECT_EQ(jsonOf({"sun", "--json"}).find("events"), nullptr);

    testing_support::ScopedEnv zone("TZ", "Europe/London");
    auto table = runGloam({"sun", "--time", "2024-06-21", "--observer=-0.1278,51.5074"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_TRUE(std::regex_search(table.out,
        std::regex("\nsunrise +2024-06-21T03:43:\\d\\dZ +2024-06-21 04:43:\\d\\d ")))
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
    ASSERT_EQ(runGloam({"render", "--time", time, "--size", "360x180", "--sun", "none", "-o", plain})
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
    };
    for (const auto& c : cases)
        testing_cli::expectUsageError(c.arguments, c.named);
}
