// Executor: one thread that runs the tasks it is given one at a time, in the
// order they arrive. The host gives it every call into a plug-in, so that a
// plug-in written for a single-threaded host never sees two calls at once.
// The executor owns its thread; destroying it runs what is queued, then joins.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace host {

class Executor {
public:
    Executor();
    ~Executor();

    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Runs `task` on the executor's thread after everything queued before it,
    // waits for it, and returns its result or rethrows its exception. Called
    // from the executor's own thread, it runs `task` at once.
    template<typename Task> std::invoke_result_t<Task> run(Task task)
    {
        using Result = std::invoke_result_t<Task>;
        if (std::this_thread::get_id() == m_thread.get_id())
            return task();
        auto packaged = std::make_shared<std::packaged_task<Result()>>(std::move(task));
        std::future<Result> result = packaged->get_future();
        post([packaged] { (*packaged)(); });
        return result.get();
    }

    bool isExecutorThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void post(std::function<void()> task);
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::thread m_thread; // last: starts once the queue exists
};

} // namespace host
