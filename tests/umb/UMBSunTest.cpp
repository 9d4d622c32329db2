#include "umb/UMBSun.h"

#include <cmath>
#include <gtest/gtest.h>

using umb::UMBDate;
using umb::UMBSun;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTolerance = 1e-6; // degrees, hours, AU

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
    struct {
        const char* when;
        UMBDate date;
        platform::Point observer;
        double lon, lat, ra, dec, azimuth, altitude, distance;
    } cases[] = {
        {"J2000.0", utc(2000, 1, 1, 12, 0), {0, 0}, 0.8263048, -23.0333508, 18.7524615, -23.0333508,
            178.0573062, 66.9526391, 0.9833060709},
        {"J2000.0 from latitude 51.5", utc(2000, 1, 1, 12, 0), {0, 51.5}, 0.8263048, -23.0333508,
            18.7524615, -23.0333508, 179.2110133, 15.4631076, 0.9833060709},
    };
    for (const auto& c : cases) {
        UMBSun sun(c.date);
        sun.calculateForDate(c.date, c.observer);
        EXPECT_NEAR(sun.getSubsolar().x, c.lon, kTolerance) << c.when;
        EXPECT_NEAR(sun.getSubsolar().y, c.lat, kTolerance) << c.when;
        EXPECT_NEAR(sun.getEquatorial().x, c.ra, kTolerance) << c.when;
        EXPECT_NEAR(sun.getEquatorial().y, c.dec, kTolerance) << c.when;
        EXPECT_NEAR(sun.getHorizontal().x, c.azimuth, kTolerance) << c.when;
        EXPECT_NEAR(sun.getHorizontal().y, c.altitude, kTolerance) << c.when;
        EXPECT_NEAR(sun.getDistance(), c.distance, 1e-10) << c.when;
        EXPECT_EQ(sun.getObserver(), c.observer) << c.when;
    }
}

TEST(UMBSunTest, EquinoxAndSolstice)
{
    struct {
        const char* when;
        UMBDate date;
        double d, lambda, lon, lat;
    } cases[] = {
        {"2024 March equinox", utc(2024, 3, 20, 3, 6), 8844.6291667, 0.0048462, 135.3583841,
            0.0019274},
        {"2024 June solstice", utc(2024, 6, 20, 20, 51), NAN, 90.0027549, -132.3015858, 23.4354250},
    };
    for (const auto& c : cases) {
        double d = umb::FNday(
            c.date.Year(), c.date.Month(), c.date.Day(), c.date.Hour() + c.date.Minute() / 60.0);
        if (!std::isnan(c.d)) {
            EXPECT_NEAR(d, c.d, 1e-7) << c.when;
        }
        EXPECT_NEAR(umb::FNsun(d) * 180 / kPi, c.lambda, kTolerance) << c.when;
        UMBSun sun(c.date);
        EXPECT_NEAR(sun.getSubsolar().x, c.lon, kTolerance) << c.when;
        EXPECT_NEAR(sun.getSubsolar().y, c.lat, kTolerance) << c.when;
    }
    UMBSun solstice(utc(2024, 6, 20, 20, 51));
    EXPECT_NEAR(solstice.getDistance(), 1.0162437, 1e-7);
}

TEST(UMBSunTest, SecondsDoNotMatterAndJulianDatesAgree)
{
    UMBSun a(utc(2000, 1, 1, 12, 0, 0));
    UMBSun b(utc(2000, 1, 1, 12, 0, 59));
    EXPECT_EQ(a.getSubsolar(), b.getSubsolar());
    EXPECT_EQ(a.getHorizontal(), b.getHorizontal());
    EXPECT_EQ(a.getDistance(), b.getDistance());

    UMBSun c;
    c.initializeJD(2451545.0);
    EXPECT_EQ(c.getSubsolar(), a.getSubsolar());
    EXPECT_EQ(c.getObserver(), (platform::Point {0, 0}));
}

TEST(UMBSunTest, ObserverLongitudeShiftsTheSubsolarLongitudeOnly)
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
}

TEST(UMBSunTest, SubsolarLongitudeStaysInItsHalfOpenRange)
{
    // One sweep of every minute of a day: the longitude never reaches +180.
    for (int minute = 0; minute < 24 * 60; minute += 7) {
        UMBSun sun(utc(2023, 9, 23, minute / 60, minute % 60));
        EXPECT_GE(sun.getSubsolar().x, -180) << minute;
        EXPECT_LT(sun.getSubsolar().x, 180) << minute;
        EXPECT_GE(sun.getEquatorial().x, 0) << minute;
        EXPECT_LT(sun.getEquatorial().x, 24) << minute;
    }
}

TEST(UMBSunTest, DayCountAcrossTheCalendarSwitch)
{
    struct {
        double y, m, d, h, days;
    } cases[] = {
        {2000, 1, 1, 12, 0.0}, {2000, 1, 1, 0, -0.5}, {1582, 10, 4, 0, -152385.5},
        {1582, 10, 15, 0, -152384.5}, // the next day
        {1582, 10, 5, 0, -152394.5}, // already Gregorian here
    };
    for (auto c : cases)
        EXPECT_EQ(umb::FNday(c.y, c.m, c.d, c.h), c.days) << c.y << "-" << c.m << "-" << c.d;
}

TEST(UMBSunTest, AngleFunctions)
{
    struct {
        const char* what;
        double got, want;
    } cases[] = {
        {"FNatn2(1, -1)", umb::FNatn2(1, -1), 3 * kPi / 4},
        {"FNatn2(-1, 1)", umb::FNatn2(-1, 1), 7 * kPi / 4},
        {"FNatn2(-1, -1)", umb::FNatn2(-1, -1), 5 * kPi / 4},
        {"FNatn2(1, 0)", umb::FNatn2(1, 0), kPi / 2},
        {"FNatn2(-1, 0)", umb::FNatn2(-1, 0), -kPi / 2},
        {"FNrange(-0.1)", umb::FNrange(-0.1), 2 * kPi - 0.1},
        {"FNrange(4pi + 1)", umb::FNrange(4 * kPi + 1), 1},
        {"FNipart(-2.7)", umb::FNipart(-2.7), -2},
        {"FNipart(2.7)", umb::FNipart(2.7), 2},
        {"FNacos(0.5)", umb::FNacos(0.5), kPi / 3},
        {"FNacos(-0.5)", umb::FNacos(-0.5), -kPi / 3},
        {"FNasin(0.5)", umb::FNasin(0.5), kPi / 6},
        {"FNasin(-0.5)", umb::FNasin(-0.5), -kPi / 6},
    };
    for (auto c : cases)
        EXPECT_NEAR(c.got, c.want, 1e-12) << c.what;
}
