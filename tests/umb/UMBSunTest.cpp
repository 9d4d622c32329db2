#include "umb/UMBSun.h"

#include <cmath>
#include <gtest/gtest.h>

using umb::UMBDate;
using umb::UMBSun;

namespace {

constexpr double kPi = 3.141592653589793;

// A date whose calendar fields are exactly the given ones. (Built from a
// Julian Date alone, a whole minute may come out a few microseconds short,
// floored to the minute before, and the model works from the minute.)
UMBDate utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    UMBDate date;
    date.initializeUTC(month, day, year, hour, minute, second + 0.5);
    date.setSecond(second);
    date.setDblsec(second);
    return date;
}

} // namespace

TEST(UMBSunTest, PublishedPositions)
{
    const UMBDate j2000 = utc(2000, 1, 1, 12, 0);
    struct {
        UMBDate date;
        platform::Point observer;
        double lon, lat, ra, dec, azimuth, altitude, distance;
    } cases[] = {
        {j2000, {0, 0}, 0.8263048, -23.0333508, 18.7524615, -23.0333508, 178.0573062, 66.9526391,
            0.9833060709},
        {j2000, {0, 51.5}, 0.8263048, -23.0333508, 18.7524615, -23.0333508, 179.2110133, 15.4631076,
            0.9833060709},
        {utc(2024, 3, 20, 3, 6), {0, 0}, 135.3583841, 0.0019274, NAN}, // March equinox
        {utc(2024, 6, 20, 20, 51), {0, 0}, -132.3015858, 23.4354250, NAN, 0, 0, 0, 1.0162437},
    };
    for (const auto& c : cases) {
        UMBSun sun(c.date);
        sun.calculateForDate(c.date, c.observer);
        SCOPED_TRACE(c.date.getHeaderCard());
        EXPECT_NEAR(sun.getSubsolar().x, c.lon, 1e-6);
        EXPECT_NEAR(sun.getSubsolar().y, c.lat, 1e-6);
        if (c.distance != 0)
            EXPECT_NEAR(sun.getDistance(), c.distance, 1e-7);
        if (std::isnan(c.ra))
            continue;
        EXPECT_NEAR(sun.getEquatorial().x, c.ra, 1e-6);
        EXPECT_NEAR(sun.getEquatorial().y, c.dec, 1e-6);
        EXPECT_NEAR(sun.getHorizontal().x, c.azimuth, 1e-6);
        EXPECT_NEAR(sun.getHorizontal().y, c.altitude, 1e-6);
        EXPECT_EQ(sun.getObserver(), c.observer);
    }
    // Seconds do not matter; the Julian Date gives the same Sun.
    UMBSun late(utc(2000, 1, 1, 12, 0, 59)), fromJD;
    fromJD.initializeJD(2451545.0);
    EXPECT_EQ(late.getSubsolar(), UMBSun(j2000).getSubsolar());
    EXPECT_EQ(fromJD.getSubsolar(), UMBSun(j2000).getSubsolar());
    EXPECT_EQ(fromJD.getObserver(), (platform::Point {0, 0}));
}

TEST(UMBSunTest, ObserverShiftsTheLongitudeWhichStaysInItsHalfOpenRange)
{
    UMBDate date = utc(2024, 6, 20, 20, 51);
    UMBSun sun(date);
    platform::Point greenwich = sun.getSubsolar();
    for (double lon : {-75.0, 10.0, 100.0}) {
        sun.calculateForDate(date, {lon, 40});
        double want = greenwich.x - lon;
        want -= 360 * std::floor((want + 180) / 360);
        EXPECT_NEAR(sun.getSubsolar().x, want, 1e-9) << lon;
        EXPECT_EQ(sun.getSubsolar().y, greenwich.y) << lon;
    }
    for (int minute = 0; minute < 24 * 60; minute += 7) {
        UMBSun s(utc(2023, 9, 23, minute / 60, minute % 60));
        EXPECT_TRUE(s.getSubsolar().x >= -180 && s.getSubsolar().x < 180) << minute;
        EXPECT_TRUE(s.getEquatorial().x >= 0 && s.getEquatorial().x < 24) << minute;
    }
}

TEST(UMBSunTest, DayCountEclipticLongitudeAndAngleFunctions)
{
    struct {
        double y, m, d, h, days;
    } days[] = {{2000, 1, 1, 12, 0.0}, {2000, 1, 1, 0, -0.5}, {1582, 10, 4, 0, -152385.5},
        {1582, 10, 15, 0, -152384.5}, // the next day
        {1582, 10, 5, 0, -152394.5}, // already Gregorian here
        {2024, 3, 20, 3.1, 8844.6291667}};
    for (auto c : days)
        EXPECT_NEAR(umb::FNday(c.y, c.m, c.d, c.h), c.days, 1e-7) << c.y << "-" << c.m;
    const double cases[][2]
        = {{umb::FNsun(8844.6291667) * 180 / kPi, 0.0048462}, // the 2024 March equinox
            {umb::FNsun(umb::FNday(2024, 6, 20, 20.85)) * 180 / kPi, 90.0027549}, // June solstice
            {umb::FNatn2(1, -1), 3 * kPi / 4}, {umb::FNatn2(-1, 1), 7 * kPi / 4},
            {umb::FNatn2(-1, -1), 5 * kPi / 4}, {umb::FNatn2(1, 0), kPi / 2},
            {umb::FNatn2(-1, 0), -kPi / 2}, {umb::FNrange(-0.1), 2 * kPi - 0.1},
            {umb::FNrange(4 * kPi + 1), 1}, {umb::FNipart(-2.7), -2}, {umb::FNipart(2.7), 2},
            {umb::FNacos(0.5), kPi / 3}, {umb::FNacos(-0.5), -kPi / 3}, {umb::FNasin(0.5), kPi / 6},
            {umb::FNasin(-0.5), -kPi / 6}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_NEAR(cases[i][0], cases[i][1], i < 2 ? 1e-6 : 1e-12) << "row " << i;
}
