#include "umb/UMBDate.h"

#include "support/ScopedEnv.h"

#include <cmath>
#include <gtest/gtest.h>

using testing_support::ScopedEnv;
using umb::UMBDate;

namespace {

struct Fields {
    int32_t year, month, day, hour, minute, second;
};

Fields fieldsOf(const UMBDate& d)
{
    return {d.Year(), d.Month(), d.Day(), d.Hour(), d.Minute(), d.Second()};
}

std::string show(const Fields& f)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
        f.minute, f.second);
    return text;
}

UMBDate fromJD(double jd)
{
    UMBDate d;
    d.initializeJD(jd);
    return d;
}

// A fixed clock for the tests that read "now": 2024-06-15 12:00:00.5 UTC.
constexpr double kFixedNow = 1718452800.5;

struct FixedClock {
    FixedClock()
    {
        platform::setClockForTesting([] { return kFixedNow; });
    }
    ~FixedClock() { platform::setClockForTesting(nullptr); }
};

} // namespace

TEST(UMBDateTest, JulianDatesAcrossTheCalendarSwitch)
{
    struct {
        double M, D, Y, h, m, s, jd;
    } cases[] = {
        {1, 1, 2000, 12, 0, 0, 2451545.0}, {1, 1, 1970, 0, 0, 0, 2440587.5},
        {10, 15, 1582, 0, 0, 0, 2299160.5},
        {10, 4, 1582, 0, 0, 0, 2299159.5}, // the day before, Julian calendar
        {10, 5, 1582, 0, 0, 0, 2299160.5}, // a skipped day, read as Julian
        {1, 1, -4712, 12, 0, 0, 0.0}, {2, 29, 2024, 18, 30, 15, 2460370.2710069446},
        {13, 1, 2023, 0, 0, 0, 2460310.5}, // month 13 rolls into January
        {1, 1.5, 2000, 0, 0, 0, 2451545.0}, // a fractional day
    };
    for (auto c : cases) {
        EXPECT_DOUBLE_EQ(UMBDate::getJD(c.M, c.D, c.Y, c.h, c.m, c.s), c.jd)
            << c.Y << "-" << c.M << "-" << c.D << " " << c.h << ":" << c.m << ":" << c.s;
    }
}

TEST(UMBDateTest, NegativeYearsUseTheTrueFloorAndReadBack)
{
    // getJD counts floor(365.25 Y) for negative years as for positive ones,
    // so that julianToGregorian gives back the date that went in.
    EXPECT_DOUBLE_EQ(UMBDate::getJD(3, 1, -100, 0, 0, 0), 1684592.5);
    for (int year : {-1, -2, -3, -4, -5, -100, -101, -4712}) {
        for (int month : {1, 2, 3, 12}) {
            UMBDate d;
            d.initializeUTC(month, 28, year, 6, 0, 0);
            Fields want {year, month, 28, 6, 0, 0};
            Fields got = fieldsOf(d);
            EXPECT_EQ(show(got), show(want)) << "JD " << d.JD();
        }
    }
}

TEST(UMBDateTest, CalendarFieldsFromJulianDates)
{
    struct {
        double jd;
        Fields want;
    } cases[] = {
        {0.0, {-4712, 1, 1, 12, 0, 0}},
        {2299160.5, {1582, 10, 15, 0, 0, 0}},
        {2299160.4999, {1582, 10, 4, 23, 59, 51}}, // Julian calendar below day 2299161
        {2451544.5, {2000, 1, 1, 0, 0, 0}},
        {2460370.2710069446, {2024, 2, 29, 18, 30, 15}},
        {2460676.49999, {2024, 12, 31, 23, 59, 59}},
    };
    for (auto c : cases)
        EXPECT_EQ(show(fieldsOf(fromJD(c.jd))), show(c.want)) << "JD " << c.jd;
}

TEST(UMBDateTest, MillisecondsAndJulianDateStayTogether)
{
    UMBDate d;
    d.initializeMilliseconds(0);
    EXPECT_EQ(d.JD(), 2440587.5);
    EXPECT_EQ(show(fieldsOf(d)), "1970-01-01 00:00:00");

    d.initializeJD(2451545.0);
    EXPECT_EQ(d.millis(), 946728000000.0);

    d.initializeMilliseconds(1718409601000); // 2024-06-15 00:00:01 UTC
    EXPECT_EQ(d.Second(), 0);
    EXPECT_NEAR(d.dblsec(), 0.999994, 1e-6);
    EXPECT_LT(d.dblsec(), 1.0);
    EXPECT_EQ(d.getHeaderCard(), "2024-06-15T00:00:01.000");
    EXPECT_EQ(d.getDateObject().secondsSince1970, 1718409601.0);

    d.initializeUTC(2, 29, 2024, 18, 30, 15);
    EXPECT_EQ(d.getDayNumber(), "20240229183015");
    d.setZeroHour();
    EXPECT_EQ(d.JD(), 2460369.5);
    EXPECT_EQ(show(fieldsOf(d)), "2024-02-29 00:00:00");
}

TEST(UMBDateTest, SettersChangeOnlyTheirOwnField)
{
    UMBDate d;
    d.initializeJD(2451545.0);
    d.setMonth(7);
    d.setJD(0);
    EXPECT_EQ(d.Month(), 7);
    EXPECT_EQ(d.millis(), 946728000000.0);
    EXPECT_EQ(d.Year(), 2000);
}

TEST(UMBDateTest, SecondsAreFlooredInAboutHalfOfAllWholeSeconds)
{
    UMBDate d;
    int below = 0;
    const int n = 86400;
    for (int s = 0; s < n; ++s) {
        d.initializeMilliseconds((1718409600.0 + s) * 1000.0);
        int want = s % 60;
        ASSERT_TRUE(d.Second() == want || d.Second() == (want + 59) % 60) << s;
        below += d.Second() != want;
    }
    EXPECT_GT(below, n / 4);
    EXPECT_LT(below, 3 * n / 4);
}

TEST(UMBDateTest, LeapYearsAndTheGregorianTest)
{
    struct {
        int year;
        bool leap;
    } years[] = {{2000, true}, {2024, true}, {1900, false}, {2023, false}, {1500, false}};
    for (auto y : years) {
        UMBDate d;
        d.setYear(y.year);
        EXPECT_EQ(d.isLeapYear(), y.leap) << y.year;
    }
    EXPECT_TRUE(UMBDate::isGregorian(10, 15, 1582));
    EXPECT_FALSE(UMBDate::isGregorian(10, 14, 1582));
    EXPECT_TRUE(fromJD(2299160.5).isGregorian());
    EXPECT_FALSE(fromJD(2299160.4999).isGregorian());
}

TEST(UMBDateTest, SiderealTime)
{
    struct {
        double jd, longitude, degrees, tolerance;
    } cases[] = {
        {2451545.0, 0, 280.46061837, 1e-9},
        {2451545.25, -75, 295.7070302, 1e-6},
        // Meeus example 12.a: 1987-04-10 0h UT, 13h10m46.3668s = 197.693195 degrees.
        {2446895.5, 0, 197.693195, 1e-5},
    };
    for (auto c : cases) {
        EXPECT_NEAR(fromJD(c.jd).localSiderialTime(c.longitude), c.degrees, c.tolerance)
            << "JD " << c.jd << " at " << c.longitude;
    }
    // The same instant counted from either side of the 0.5-day point.
    UMBDate d = fromJD(2460000.75);
    double east = d.localSiderialTime(180);
    double west = d.localSiderialTime(-180);
    EXPECT_NEAR(east, west, 1e-9);
}

TEST(UMBDateTest, VerifyRangeKeepsTwentyFour)
{
    struct {
        double in, out;
    } cases[] = {{-1, 23}, {25, 1}, {24, 24}, {48, 24}, {0, 0}, {-48, 0}};
    for (auto c : cases)
        EXPECT_DOUBLE_EQ(umb::verifyRange(c.in), c.out) << c.in;
}

TEST(UMBDateTest, MonthStringsStayInsideTheTable)
{
    UMBDate d;
    struct {
        int32_t month;
        const char *upper, *lower;
    } cases[] = {{1, "JAN", "jan"}, {9, "SEP", "sep"}, {12, "DEC", "dec"}, {0, "", ""},
        {13, "", ""}, {-5, "", ""}, {INT32_MAX, "", ""}};
    for (auto c : cases) {
        d.setMonth(c.month);
        EXPECT_EQ(d.getMonthString(false), c.upper) << c.month;
        EXPECT_EQ(d.getMonthString(true), c.lower) << c.month;
    }
}

TEST(UMBDateTest, TextsInTheirZones)
{
    ScopedEnv env;
    ScopedEnv::pinZoneAndLocale(env, "America/New_York");
    UMBDate d;
    d.initializeUTC(2, 29, 2024, 18, 30, 15);
    platform::Date summer {1718409601}; // 2024-06-15 00:00:01 UTC
    EXPECT_EQ(d.getCurrentFormat(), "02-29-2024 01:30:15 PM EST");
    EXPECT_EQ(d.getLocalDayNumber(), 20240229133015);
    EXPECT_EQ(d.getLocalTime(summer), "06-14-2024 08:00:01 PM EDT");
    EXPECT_EQ(d.getLocalTime(summer, "yyyy-MM-dd HH:mm zzz"), "2024-06-14 20:00 EDT");
    EXPECT_EQ(d.getTimeAsGMT(summer, "yyyy-MM-dd HH:mm zzz"), "2024-06-15 00:00 UTC");
    EXPECT_EQ(d.getSatTime(summer, *platform::TimeZone::withIdentifier("Asia/Tokyo")),
        "Jun 15, 2024 09:00:01 AM GMT+9");

    env.set("TZ", "UTC");
    EXPECT_EQ(d.getLocalDayNumber(), 20240229183015);
}

TEST(UMBDateTest, ClockAndZoneShiftedClock)
{
    FixedClock clock;
    UMBDate now;
    EXPECT_EQ(now.millis(), kFixedNow * 1000.0);
    EXPECT_EQ(show(fieldsOf(now)), "2024-06-15 12:00:00");

    UMBDate shifted;
    shifted.updateWithTimeZone(*platform::TimeZone::withIdentifier("America/Bogota")); // UTC-5
    EXPECT_EQ(show(fieldsOf(shifted)), "2024-06-15 07:00:00");
    EXPECT_EQ(shifted.getDateObject().secondsSince1970, kFixedNow - 5 * 3600);
    EXPECT_DOUBLE_EQ(shifted.JD(), now.JD() - 5.0 / 24);
}

TEST(UMBDateTest, NonFiniteJulianDatesLeaveTheFieldsAlone)
{
    UMBDate d = fromJD(2451545.0);
    for (double bad : {double(NAN), double(INFINITY), -1e300}) {
        d.julianToGregorian(bad);
        EXPECT_EQ(show(fieldsOf(d)), "2000-01-01 12:00:00") << bad;
    }
}
