#include "platform/Clock.h"

#include <ctime>
#include <gtest/gtest.h>

TEST(ClockTest, NowIsTheRealTimeWithAFraction)
{
    double before = static_cast<double>(std::time(nullptr));
    double seconds = platform::now().secondsSince1970;
    double after = static_cast<double>(std::time(nullptr));
    EXPECT_GE(seconds, before);
    EXPECT_LT(seconds, after + 1);
}

TEST(ClockTest, ATestClockReplacesTheSystemOneUntilRestored)
{
    platform::setClockForTesting([] { return 1718409601.25; });
    EXPECT_EQ(platform::now().secondsSince1970, 1718409601.25);
    platform::setClockForTesting(nullptr);
    EXPECT_GT(platform::now().secondsSince1970, 1.7e9);
}
