// Time on ICU: the clock, zone offsets in whole seconds, the zone TZ names as
// it changes, and date patterns in a locale the user's variables choose.
#include "platform/TimeZone.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"

#include "support/ScopedEnv.h"

#include <ctime>
#include <gtest/gtest.h>

using platform::Date;
using platform::DateFormat;
using platform::TimeZone;
using testing_support::ScopedEnv;

namespace {
const Date kWinter {1704067200}; // 2024-01-01 00:00:00 UTC
const Date kSummer {1718409601.9999}; // 2024-06-15 00:00:01.9999 UTC
} // namespace

TEST(ClockTest, NowIsTheRealTimeWithAFractionUntilATestClockReplacesIt)
{
    double before = double(std::time(nullptr)), seconds = platform::now().secondsSince1970;
    EXPECT_GE(seconds, before);
    EXPECT_LT(seconds, double(std::time(nullptr)) + 1);
    platform::setClockForTesting([] { return 1718409601.25; });
    EXPECT_EQ(platform::now().secondsSince1970, 1718409601.25);
    platform::setClockForTesting(nullptr);
    EXPECT_GE(platform::now().secondsSince1970, before);
}

TEST(TimeZoneTest, OffsetsFollowDaylightTimeInWholeSeconds)
{
    // Lord Howe shifts by half an hour; New York in 1874 kept local mean time.
    struct {
        const char* zone;
        Date at;
        int32_t offset;
    } cases[] = {{"America/New_York", kWinter, -5 * 3600}, {"America/New_York", kSummer, -4 * 3600},
        {"Europe/Paris", kSummer, 2 * 3600}, {"Asia/Kolkata", kWinter, 5 * 3600 + 1800},
        {"Australia/Lord_Howe", kWinter, 11 * 3600}, {"UTC", kSummer, 0},
        {"GMT-05:00", kSummer, -5 * 3600},
        {"America/New_York", Date {-3e9}, -(4 * 3600 + 56 * 60 + 2)}};
    for (auto c : cases)
        EXPECT_EQ(TimeZone::withIdentifier(c.zone)->secondsFromGMT(c.at), c.offset) << c.zone;
    EXPECT_FALSE(TimeZone::withIdentifier("Mars/Olympus_Mons"));
    EXPECT_FALSE(TimeZone::withIdentifier(""));
    EXPECT_EQ(TimeZone::utc().identifier(), "UTC");
    EXPECT_EQ(TimeZone::utc().secondsFromGMT(kSummer), 0);
}

TEST(TimeZoneTest, SystemZoneFollowsTzAsItChanges)
{
    ScopedEnv env;
    struct {
        const char* tz;
        int32_t summerOffset;
    } cases[] = {{"America/New_York", -4 * 3600}, {":Europe/Paris", 2 * 3600},
        {"EST5EDT", -4 * 3600}, {"UTC", 0}, {"Asia/Tokyo", 9 * 3600}};
    for (auto c : cases) {
        env.set("TZ", c.tz);
        EXPECT_EQ(TimeZone::system().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::defaultZone().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::local().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
    }
}

TEST(DateFormatTest, PatternsInZonesAndLocales)
{
    // Paris has no short name in English.
    struct {
        const char *pattern, *zone, *locale;
        Date at;
        const char* text;
    } cases[] = {{"MM-dd-yyyy hh:mm:ss a zzz", "America/New_York", "en_US_POSIX", kSummer,
                     "06-14-2024 08:00:01 PM EDT"},
        {"MM-dd-yyyy hh:mm:ss a zzz", "America/New_York", "en_US_POSIX", kWinter,
            "12-31-2023 07:00:00 PM EST"},
        {"MMM dd, yyyy hh:mm:ss a zzz", "UTC", "en_US_POSIX", kSummer,
            "Jun 15, 2024 12:00:01 AM UTC"},
        {"yyyyMMddHHmmss", "Asia/Tokyo", "en_US_POSIX", kSummer, "20240615090001"},
        {"HH:mm zzz", "Europe/Paris", "en_US_POSIX", kSummer, "02:00 GMT+2"},
        {"MMM a", "UTC", "de_DE.UTF-8@euro", kSummer, "Juni AM"},
        {"MMM a", "UTC", "C.UTF-8", kSummer, "Jun AM"}};
    for (auto c : cases)
        EXPECT_EQ(
            DateFormat(c.pattern, *TimeZone::withIdentifier(c.zone), c.locale).format(c.at), c.text)
            << c.pattern << " in " << c.zone;
}

TEST(DateFormatTest, UserLocaleTakesLcAllThenLcTimeThenLang)
{
    struct {
        const char *lcAll, *lcTime, *lang, *locale;
    } cases[] = {{"fr_FR.UTF-8", "de_DE", "it_IT", "fr_FR"}, {"", "de_DE.UTF-8", "it_IT", "de_DE"},
        {nullptr, nullptr, "it_IT.UTF-8", "it_IT"}, {"C", "de_DE", nullptr, "en_US_POSIX"},
        {nullptr, "POSIX", "de_DE", "en_US_POSIX"}, {nullptr, nullptr, nullptr, "en_US_POSIX"},
        {nullptr, nullptr, "C.UTF-8", "en_US_POSIX"}};
    for (auto c : cases) {
        ScopedEnv env;
        env.set("LC_ALL", c.lcAll).set("LC_TIME", c.lcTime).set("LANG", c.lang);
        EXPECT_EQ(DateFormat::userLocale(), c.locale)
            << (c.lcAll ? c.lcAll : "-") << " / " << (c.lcTime ? c.lcTime : "-");
    }
}
