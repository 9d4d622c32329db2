#include "umb/UMBSun.h"

#include <cmath>
#include <gtest/gtest.h>

using umb::UMBDate;
using umb::UMBSun;

namespace {

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
        {utc(2024, 3, 20, 3, 6), {0, 0}, 135.3583841, 0.0019274, NAN, 0, 0, 0, 0}, // equinox
        {utc(2024, 6, 20, 20, 51), {0, 0}, -132.3015858, 23.4354250, NAN, 0, 0, 0, 1.0162437},
    };
    for (const auto& c : cases) {
        UMBSun sun(c.date);
        sun.calculateForDate(c.date, c.observer);
        SCOPED_TRACE(c.date.getHeaderCard());
        EXPECT_NEAR(sun.getSubsolar().x, c.lon, 1e-6);
        EXPECT_NEAR(sun.getSubsolar().y, c.lat, 1e-6);
        if (c.distance != 0) {
            EXPECT_NEAR(sun.getDistance(), c.distance, 1e-7);
        }
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
