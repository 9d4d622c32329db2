// Side threads start on another core than their creator's, then may run on
// any; they are not worth starting from a thread that keeps a core busy.
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

TEST(SideThreadTest, HelpOnlyWithEnoughWorkWhereCoresAreSpare)
{
    const bool several = std::thread::hardware_concurrency() > 1;
    constexpr size_t kEnough = 1024 * 256;
    EXPECT_EQ(platform::sideThreadsHelp(kEnough), several);
    EXPECT_FALSE(platform::sideThreadsHelp(kEnough - 1));
    {
        const platform::AllCoresBusy busy;
        EXPECT_FALSE(platform::sideThreadsHelp(kEnough));
        // Other threads are not this one.
        bool there = false;
        std::thread([&] { there = platform::sideThreadsHelp(kEnough); }).join();
        EXPECT_EQ(there, several);
    }
    EXPECT_EQ(platform::sideThreadsHelp(kEnough), several);
}
