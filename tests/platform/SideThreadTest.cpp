// Side threads start on another core than their creator's, then may run on
// any.
#include "platform/SideThread.h"

#include <gtest/gtest.h>
#include <sched.h>

TEST(SideThreadTest, StartsOnAnotherCoreThenMayRunOnAny)
{
    cpu_set_t all, later;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    // The creator waits at once, which frees its own core for the thread;
    // the thread still goes to another, if there is one.
    const int creator = sched_getcpu();
    int started = -1;
    platform::SideThread([&] {
        started = sched_getcpu();
        sched_getaffinity(0, sizeof later, &later);
    }).join();
    EXPECT_EQ(started != creator, CPU_COUNT(&all) > 1);
    EXPECT_TRUE(CPU_EQUAL(&later, &all));
}
