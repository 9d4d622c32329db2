#include "umb/UMBDate.h"

#include "support/ScopedEnv.h"

#include <cmath>
#include <gtest/gtest.h>

using testing_support::ScopedEnv;
using umb::UMBDate;

namespace {

std::string fields(const UMBDate& d)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", d.Year(), d.Month(), d.Day(),
        d.Hour(), d.Minute(), d.Second());
    return text;
}

UMBDate fromJD(double jd)
{
    UMBDate d;
    d.initializeJD(jd);
    return d;
}

} // namespace

TEST(UMBDateTest, MillisecondsJulianDateAndFieldsStayTogether)
{
    UMBDate d;
    d.initializeMilliseconds(0);
    EXPECT_EQ(d.JD(), 2440587.5);
    EXPECT_EQ(fields(d), "1970-01-01 00:00:00");
    d.initializeJD(2451545.0);
    EXPECT_EQ(d.millis(), 946728000000.0);
    d.initializeMilliseconds(1718409601000); // 2024-06-15 00:00:01 UTC
    EXPECT_EQ(d.Second(), 1); // split from the instant rounded to the millisecond
    EXPECT_EQ(d.dblsec(), 1.0);
    EXPECT_EQ(d.getHeaderCard(), "2024-06-15T00:00:01.000");
    EXPECT_EQ(d.getDateObject().secondsSince1970, 1718409601.0);
    d.initializeUTC(2, 29, 2024, 18, 30, 15);
    EXPECT_EQ(d.getDayNumber(), "20240229183015");
    d.setZeroHour();
    EXPECT_EQ(d.JD(), 2460369.5);
    EXPECT_EQ(fields(d), "2024-02-29 00:00:00");
    // Setters change only their own field.
    d.setMonth(7);
    d.setJD(0);
    EXPECT_EQ(d.Month(), 7);
    EXPECT_EQ(d.Year(), 2024);
    EXPECT_EQ(d.millis(), 1709164800000.0);
    // A non-finite Julian Date leaves the fields alone.
    for (double bad : {double(NAN), double(INFINITY), -1e300}) {
        d.julianToGregorian(bad);
        EXPECT_EQ(fields(d), "2024-07-29 00:00:00") << bad;
    }
}

TEST(UMBDateTest, LeapYearsGregorianTestAndMonthNames)
{
    for (auto [year, leap] :
        {std::pair {2000, true}, {2024, true}, {1900, false}, {2023, false}, {1500, false}}) {
        UMBDate d;
        d.setYear(year);
        EXPECT_EQ(d.isLeapYear(), leap) << year;
    }
    EXPECT_TRUE(UMBDate::isGregorian(10, 15, 1582));
    EXPECT_FALSE(UMBDate::isGregorian(10, 14, 1582));
    EXPECT_TRUE(fromJD(2299160.5).isGregorian());
    EXPECT_FALSE(fromJD(2299160.4999).isGregorian());
    struct {
        int32_t month;
        const char *upper, *lower;
    } months[] = {{1, "JAN", "jan"}, {9, "SEP", "sep"}, {12, "DEC", "dec"}, {0, "", ""},
        {13, "", ""}, {-5, "", ""}, {INT32_MAX, "", ""}};
    UMBDate d;
    for (auto c : months) {
        d.setMonth(c.month);
        EXPECT_EQ(d.getMonthString(false), c.upper) << c.month;
        EXPECT_EQ(d.getMonthString(true), c.lower) << c.month;
    }
}

TEST(UMBDateTest, TextsInTheirZonesAndTheClock)
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

    constexpr double kNow = 1718452800.5; // 2024-06-15 12:00:00.5 UTC
    platform::setClockForTesting([] { return kNow; });
    UMBDate now, shifted;
    shifted.updateWithTimeZone(*platform::TimeZone::withIdentifier("America/Bogota")); // UTC-5
    platform::setClockForTesting(nullptr);
    EXPECT_EQ(now.millis(), kNow * 1000.0);
    EXPECT_EQ(fields(now), "2024-06-15 12:00:00");
    EXPECT_EQ(fields(shifted), "2024-06-15 07:00:00");
    EXPECT_EQ(shifted.getDateObject().secondsSince1970, kNow - 5 * 3600);
    EXPECT_DOUBLE_EQ(shifted.JD(), now.JD() - 5.0 / 24);
}
