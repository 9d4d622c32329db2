// Exact instants: a date made from milliseconds reads back its own fields,
// and the Sun evaluated at the exact instant moves with the seconds.
#include "umb/UMBDate.h"
#include "umb/UMBSun.h"

#include <cmath>
#include <gtest/gtest.h>

using umb::UMBDate;
using umb::UMBSun;

TEST(UMBInstantTest, EveryMillisecondReadsBackItsOwnFields)
{
    // Whole seconds of a day and odd milliseconds around it, from 1970 to
    // 2100: the fields are the instant's, never the Julian Date's error
    // floored (20:51:00 read as 20:50:59.999960 before).
    UMBDate d;
    for (double base : {0.0, 1718841600000.0, 4102444800000.0}) {
        for (int64_t ms = 0; ms < 86400000; ms += 997) {
            d.initializeMilliseconds(base + double(ms));
            const int64_t back = int64_t(d.Hour()) * 3600000 + int64_t(d.Minute()) * 60000
                + int64_t(std::llround(d.dblsec() * 1000));
            ASSERT_EQ(back, ms) << base;
            ASSERT_EQ(d.Second(), int(ms / 1000 % 60)) << base + double(ms);
        }
    }
    d.initializeMilliseconds(1718916660000); // 2024-06-20T20:51:00Z
    EXPECT_EQ(d.getHeaderCard(), "2024-06-20T20:51:00.000");
    d.initializeMilliseconds(1718916719999); // a millisecond before the minute
    EXPECT_EQ(d.getHeaderCard(), "2024-06-20T20:51:59.999");
    d.initializeMilliseconds(1704067199999.6); // rounds up into the new year
    EXPECT_EQ(d.getHeaderCard(), "2024-01-01T00:00:00.000");
}

TEST(UMBInstantTest, TheExactInstantSunMovesWithTheSecondsAndAgreesOnTheMinute)
{
    UMBDate minute, later;
    minute.initializeMilliseconds(1718916660000); // 20:51:00
    later.initializeMilliseconds(1718916719000); // 20:51:59
    UMBSun perMinute(minute), exact, exactLater;
    exact.calculateForInstant(minute, {0, 0});
    exactLater.calculateForInstant(later, {0, 0});
    // At a whole minute the two operations are one model.
    EXPECT_EQ(exact.getSubsolar(), perMinute.getSubsolar());
    EXPECT_EQ(exact.getDistance(), perMinute.getDistance());
    // 59 seconds later the subsolar point is 59 x 15" = 0.2458 degrees west.
    EXPECT_NEAR(exact.getSubsolar().x - exactLater.getSubsolar().x, 0.2458, 0.001);
    EXPECT_EQ(UMBSun(later).getSubsolar(), perMinute.getSubsolar()); // the widget's, per minute
    exactLater.calculateForJD(later.JD(), {0, 0});
    EXPECT_NEAR(exactLater.getSubsolar().x, -132.3015858 - 0.2458, 0.001);
}
