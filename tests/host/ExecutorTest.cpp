#include "host/Executor.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

TEST(ExecutorTest, RunsEveryTaskOnItsOwnThreadInArrivalOrder)
{
    host::Executor executor;
    std::vector<int> order;
    std::thread::id worker = executor.run([] { return std::this_thread::get_id(); });
    EXPECT_NE(worker, std::this_thread::get_id());

    std::vector<std::thread> callers;
    std::vector<std::vector<int>> seen(4);
    for (int c = 0; c < 4; ++c) {
        callers.emplace_back([&, c] {
            for (int i = 0; i < 50; ++i) {
                seen[c].push_back(executor.run([&, c, i] {
                    EXPECT_EQ(std::this_thread::get_id(), worker);
                    order.push_back(c * 1000 + i); // unguarded: only the worker touches it
                    return static_cast<int>(order.size());
                }));
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(order.size(), 200u);
    for (int c = 0; c < 4; ++c) {
        for (size_t i = 1; i < seen[c].size(); ++i)
            EXPECT_LT(seen[c][i - 1], seen[c][i]) << "caller " << c << " task " << i;
    }
}

TEST(ExecutorTest, PassesExceptionsBackAndRunsNestedTasksAtOnce)
{
    host::Executor executor;
    EXPECT_THROW(executor.run([]() -> int { throw std::runtime_error("plug-in failed"); }),
        std::runtime_error);
    // A task that asks the executor again must not wait for itself.
    int nested = executor.run([&] { return executor.run([] { return 7; }); });
    EXPECT_EQ(nested, 7);
}

} // namespace
