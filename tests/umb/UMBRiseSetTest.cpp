#include "umb/UMBRiseSet.h"

#include <cmath>
#include <gtest/gtest.h>

using umb::UMBRiseSet;

namespace {

constexpr double kMinute = 1.0 / 1440;

// The Julian Date of a UTC instant of June or December 2024.
double jd(int month, int day, int hour, int minute)
{
    const double day0 = month == 6 ? 2460462.5 : 2460645.5; // 2024-06-01 and 12-01, 0h
    return day0 + (day - 1) + (hour + minute / 60.0) / 24.0;
}

} // namespace

TEST(UMBRiseSetTest, SunriseAndSunsetAsTheNavalObservatoryPublishesThem)
{
    // U.S. Naval Observatory, Astronomical Applications Department, "Sun and
    // Moon Data for One Day", Washington, DC (77.0369 W, 38.9072 N), 2024
    // June 20: sunrise 05:43, sunset 20:37 EDT (UTC-4), to the minute.
    const platform::Point washington {-77.0369, 38.9072};
    const auto e = UMBRiseSet::sunEvents(jd(6, 20, 4, 0), washington);
    ASSERT_TRUE(e.sunrise && e.sunset && e.solarNoon);
    EXPECT_NEAR(*e.sunrise, jd(6, 20, 9, 43), kMinute);
    EXPECT_NEAR(*e.sunset, jd(6, 21, 0, 37), kMinute);
    // Dawn before sunrise, dusk after sunset, each twilight deeper.
    ASSERT_TRUE(e.civilDawn && e.nauticalDawn && e.astronomicalDawn);
    EXPECT_LT(*e.astronomicalDawn, *e.nauticalDawn);
    EXPECT_LT(*e.nauticalDawn, *e.civilDawn);
    EXPECT_LT(*e.civilDawn, *e.sunrise);
    EXPECT_LT(*e.sunrise, *e.solarNoon);
    EXPECT_LT(*e.solarNoon, *e.sunset);
    ASSERT_TRUE(e.civilDusk);
    EXPECT_LT(*e.sunset, *e.civilDusk);
}

TEST(UMBRiseSetTest, MidnightSunAndPolarNightHaveNoSunriseOrSunset)
{
    const platform::Point tromso {18.9553, 69.6492};
    const auto summer = UMBRiseSet::sunEvents(jd(6, 21, 0, 0), tromso);
    EXPECT_FALSE(summer.sunrise);
    EXPECT_FALSE(summer.sunset);
    EXPECT_FALSE(summer.civilDusk);
    EXPECT_TRUE(summer.solarNoon);

    const auto winter = UMBRiseSet::sunEvents(jd(12, 21, 0, 0), tromso);
    EXPECT_FALSE(winter.sunrise);
    EXPECT_FALSE(winter.sunset);
    // The Sun stays within 6 degrees below the horizon for a while at noon.
    ASSERT_TRUE(winter.civilDawn && winter.civilDusk && winter.solarNoon);
    EXPECT_LT(*winter.civilDawn, *winter.solarNoon);
    EXPECT_LT(*winter.solarNoon, *winter.civilDusk);
}

TEST(UMBRiseSetTest, TheSearchFindsTheFirstTurnInTheWindowOrNone)
{
    // A curve rising through 0 at 0.3 and 0.8 days, setting at 0.55.
    const UMBRiseSet::Curve curve = [](double t) {
        return t < 0.3 ? -1.0 : t < 0.55 ? 1.0 : t < 0.8 ? -1.0 : 1.0;
    };
    EXPECT_NEAR(*UMBRiseSet::firstCrossing(curve, 0, true, 0), 0.3, 1e-6);
    EXPECT_NEAR(*UMBRiseSet::firstCrossing(curve, 0, true, 0.4), 0.8, 1e-6);
    EXPECT_NEAR(*UMBRiseSet::firstCrossing(curve, 0, false, 0), 0.55, 1e-6);
    EXPECT_FALSE(UMBRiseSet::firstCrossing(curve, 0, true, 0.9, 0.5));
    // The transit is the turn through 0, never the jump from 180 to -180.
    const UMBRiseSet::Curve hourAngle
        = [](double t) { return std::remainder(360.0 * (t - 0.25), 360.0); };
    EXPECT_NEAR(*UMBRiseSet::firstTransit(hourAngle, 0), 0.25, 1e-6);
    EXPECT_NEAR(*UMBRiseSet::firstTransit(hourAngle, 0.3, 2), 1.25, 1e-6);
}

TEST(UMBRiseSetTest, TheMoonRisesTransitsAndSets)
{
    // Berlin, 2024-06-20 from 20:51 UTC: the Moon, nearly full, is up and
    // transits first, sets before dawn and rises again the next evening.
    const auto e = UMBRiseSet::moonEvents(jd(6, 20, 20, 51), {13.4, 52.5});
    ASSERT_TRUE(e.moonrise && e.moonset && e.transit);
    EXPECT_LT(*e.transit, *e.moonset);
    EXPECT_LT(*e.moonset, *e.moonrise);
    EXPECT_NEAR(*e.moonset, jd(6, 21, 1, 21), 2 * kMinute);
}
