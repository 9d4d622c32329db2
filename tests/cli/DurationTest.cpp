#include "cli/Duration.h"
#include "cli/Command.h"

#include "support/UmbFixtures.h"

#include <gtest/gtest.h>

using cli::instantCount;
using cli::parseDuration;

namespace {
constexpr int64_t kMinute = 60000, kHour = 60 * kMinute, kDay = 24 * kHour;
}

TEST(DurationTest, ReadsEachFixedLengthAndRefusesTheRestSayingWhy)
{
    for (const auto& row : testing_support::dataTable("durations.tsv")) {
        std::string why;
        const std::optional<int64_t> millis = parseDuration(row.at(0), &why);
        if (row.at(1) == "refused") {
            EXPECT_FALSE(millis) << row[0];
            EXPECT_NE(why.find(row.at(2)), std::string::npos) << row[0] << ": " << why;
        } else {
            EXPECT_EQ(millis, std::stoll(row[1])) << row[0] << ": " << why;
        }
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
