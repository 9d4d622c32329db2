#include "cli/Duration.h"
#include "cli/Command.h"

#include "support/UmbFixtures.h"

#include <gtest/gtest.h>

using cli::instantCount;
using cli::parseDuration;

namespace {
constexpr int64_t kMinute = 60000;
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

TEST(DurationTest, CountsTheInstantsAndFindsTheNextMultiple)
{
    for (const auto& row : testing_support::dataTable("time-lapse-steps.tsv")) {
        auto n = [&](size_t i) { return std::stod(row.at(i)); };
        if (row[0] == "count")
            EXPECT_EQ(instantCount(n(1), n(2), int64_t(n(3)), int64_t(n(4))), int64_t(n(5)))
                << n(1) << " to " << n(2) << " by " << n(3);
        else
            EXPECT_EQ(cli::nextMultiple(n(1), int64_t(n(2))), n(3)) << n(1) << " by " << n(2);
    }
}
