#include "cli/Duration.h"
#include "cli/Command.h"

#include <gtest/gtest.h>

using cli::instantCount;
using cli::parseDuration;

namespace {
constexpr int64_t kMinute = 60000, kHour = 60 * kMinute, kDay = 24 * kHour;
}

TEST(DurationTest, ReadsEachFormToMilliseconds)
{
    struct {
        const char* text;
        int64_t millis;
    } cases[] = {
        {"30s", 30000},
        {"10m", 10 * kMinute},
        {"1h", kHour},
        {"1d", kDay},
        {"90m", 90 * kMinute}, // a count beyond the next unit is kept whole
        {"PT10M", 10 * kMinute},
        {"P1D", kDay},
        {"P2W", 14 * kDay},
        {"PT1H30M", 90 * kMinute},
        {"P1DT12H", 36 * kHour},
        {"PT0.5S", 500},
        {"PT1,25S", 1250},
    };
    for (auto c : cases) {
        std::string why;
        std::optional<int64_t> millis = parseDuration(c.text, &why);
        ASSERT_TRUE(millis) << c.text << ": " << why;
        EXPECT_EQ(*millis, c.millis) << c.text;
    }
}

TEST(DurationTest, RefusesWhatIsNotOneFixedLength)
{
    struct {
        const char* text;
        const char* why; // a part of the reason given
    } cases[] = {
        {"", "empty"}, {"10", "unit"}, {"10x", "unit"}, {"10 m", "unit"}, {"1.5h", "unit"},
        {"-1h", "number"}, {"h", "number"}, {"P", "at least one"}, {"P1DT", "follow T"},
        {"P1M", "months"}, {"P1Y", "years"}, {"PT1D", "time unit"}, {"P1H", "date unit"},
        {"PT1M1H", "largest first"}, {"PT1H1H", "largest first"}, {"P1W1D", "weeks"},
        {"PT0.5M", "fraction"}, {"P36526D", "100 years"}, {"36526d", "100 years"},
        {"99999999999999999999s", "number"},
        {"pt10m", "number"}, // ISO 8601's designators are capitals
    };
    for (auto c : cases) {
        std::string why;
        EXPECT_FALSE(parseDuration(c.text, &why)) << c.text;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.text << ": " << why;
    }
}

TEST(DurationTest, AStepIsLongerThanZero)
{
    EXPECT_EQ(cli::stepFromOption("--step", "PT10M"), 10 * kMinute);
    for (const char* zero : {"0s", "PT0S", "P0D"})
        EXPECT_THROW(cli::stepFromOption("--step", zero), cli::UsageError) << zero;
}

TEST(DurationTest, CountsTheInstantsFromTheStartUpToAndIncludingTheEnd)
{
    struct {
        double from, to;
        int64_t step, limit, count;
    } cases[] = {
        {0, kDay, 10 * kMinute, 100000, 145}, // both ends of a day
        {0, kDay - 1, 10 * kMinute, 100000, 144}, // the end just missed
        {0, 7 * kHour, 3 * kHour, 100000, 3}, // 0, 3 and 6 hours: not a multiple
        {1000.5, 1000.5, 1000, 100000, 1}, // one instant
        {-kHour, 0, 30 * kMinute, 100000, 3}, // before 1970 alike
        {10, 5, 1, 100000, 0}, // the end before the start
        {0, 99999000, 1000, 100000, 100000}, // the limit itself
        {0, 100000000, 1000, 100000, 100001}, // one over
        {0, 1e15, 1, 100000, 100001}, // far over, and no overflow
    };
    for (auto c : cases)
        EXPECT_EQ(instantCount(c.from, c.to, c.step, c.limit), c.count)
            << c.from << " to " << c.to << " by " << c.step;
}

TEST(DurationTest, TheNextMultipleIsStrictlyAfterNow)
{
    constexpr double kTenPast = 1733616600000; // 2024-12-08T00:10:00Z
    struct {
        double now;
        int64_t step;
        double next;
    } cases[] = {
        {0, 1000, 1000}, {999.5, 1000, 1000}, {1000, 1000, 2000}, // on a multiple: the next one
        {-1, 1000, 0}, {kTenPast + 1, 10 * kMinute, kTenPast + 10 * kMinute},
        {kTenPast - 1, 10 * kMinute, kTenPast},
        {kTenPast + 1, kHour, kTenPast - 10 * kMinute + kHour}, // at the full hour
    };
    for (auto c : cases)
        EXPECT_EQ(cli::nextMultiple(c.now, c.step), c.next) << c.now << " by " << c.step;
}
