#include "platform/TimeZone.h"

#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

using platform::Date;
using platform::TimeZone;
using testing_support::ScopedEnv;

namespace {
const Date kWinter {1704067200}; // 2024-01-01 00:00:00 UTC
const Date kSummer {1718409601}; // 2024-06-15 00:00:01 UTC
} // namespace

TEST(TimeZoneTest, OffsetsFollowDaylightTimeInWholeSeconds)
{
    struct {
        const char* zone;
        Date at;
        int32_t offset;
    } cases[] = {
        {"America/New_York", kWinter, -5 * 3600}, {"America/New_York", kSummer, -4 * 3600},
        {"Europe/Paris", kSummer, 2 * 3600}, {"Asia/Kolkata", kWinter, 5 * 3600 + 1800},
        {"Australia/Lord_Howe", kWinter, 11 * 3600}, // a half-hour daylight shift
        {"America/New_York", Date {-3e9}, -(4 * 3600 + 56 * 60 + 2)}, // 1874: local mean time
    };
    for (auto c : cases) {
        auto zone = TimeZone::withIdentifier(c.zone);
        ASSERT_TRUE(zone) << c.zone;
        EXPECT_EQ(zone->secondsFromGMT(c.at), c.offset)
            << c.zone << " at " << c.at.secondsSince1970;
    }
}

TEST(TimeZoneTest, UnknownIdentifiersGiveNoZone)
{
    EXPECT_FALSE(TimeZone::withIdentifier("Mars/Olympus_Mons"));
    EXPECT_FALSE(TimeZone::withIdentifier(""));
    EXPECT_TRUE(TimeZone::withIdentifier("GMT-05:00"));
}

TEST(TimeZoneTest, UtcHasNoOffsetAtAnyInstant)
{
    EXPECT_EQ(TimeZone::utc().identifier(), "UTC");
    EXPECT_EQ(TimeZone::utc().secondsFromGMT(kWinter), 0);
    EXPECT_EQ(TimeZone::utc().secondsFromGMT(kSummer), 0);
}

TEST(TimeZoneTest, SystemZoneFollowsTzAsItChanges)
{
    ScopedEnv env;
    struct {
        const char* tz;
        int32_t summerOffset;
    } cases[] = {
        {"America/New_York", -4 * 3600},
        {":Europe/Paris", 2 * 3600},
        {"EST5EDT", -4 * 3600},
        {"UTC", 0},
        {"Asia/Tokyo", 9 * 3600},
    };
    for (auto c : cases) {
        env.set("TZ", c.tz);
        EXPECT_EQ(TimeZone::system().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::defaultZone().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
        EXPECT_EQ(TimeZone::local().secondsFromGMT(kSummer), c.summerOffset) << c.tz;
    }
}
