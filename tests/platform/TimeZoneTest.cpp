// Time on ICU: the clock, zone offsets in whole seconds, the zone TZ names as
// it changes, and date patterns in a locale the user's variables choose.
#include "platform/TimeZone.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"

#include "support/ScopedEnv.h"
#include "support/UmbFixtures.h"

#include <ctime>
#include <gtest/gtest.h>

using platform::Date;
using platform::DateFormat;
using platform::TimeZone;
using testing_support::dataTable;
using testing_support::ScopedEnv;

namespace {
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
    for (const auto& row : dataTable("zone-offsets.tsv"))
        EXPECT_EQ(TimeZone::withIdentifier(row.at(0))->secondsFromGMT(Date {std::stod(row.at(1))}),
            std::stoi(row.at(2)))
            << row[0] << " at " << row[1];
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
        {"EST5EDT", -4 * 3600}, {"UTC", 0}, {"Asia/Tokyo", 9 * 3600}, {"XST-3", 3 * 3600}};
    for (auto c : cases) {
        env.set("TZ", c.tz);
        EXPECT_EQ(TimeZone::system().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::defaultZone().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::local().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
    }
}

TEST(DateFormatTest, PatternsInZonesAndLocales)
{
    for (const auto& row : dataTable("date-formats.tsv"))
        EXPECT_EQ(DateFormat(row.at(0), *TimeZone::withIdentifier(row.at(1)), row.at(2))
                      .format(Date {std::stod(row.at(3))}),
            row.at(4))
            << row[0] << " in " << row[1];
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
