// WorkerPool: runs jobs on at most a fixed number of threads, started as jobs
// come and ended once they have waited idle for a while, so that a burst of
// work leaves no threads behind. Owns its threads and the jobs not yet taken;
// the destructor runs every job posted and joins every thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace platform {

class WorkerPool {
public:
    WorkerPool(size_t maxThreads, std::chrono::milliseconds idleTime);
    ~WorkerPool();

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `job` on a waiting thread, a new one while fewer than maxThreads
    // run, or else the first thread to come free.
    void post(std::function<void()> job);

    // Returns once every job posted so far has run.
    void waitIdle();

private:
    struct Worker {
        std::thread thread;
        bool ended = false;
    };

    void work(Worker& self);
    // Joins the threads that ended; called with the lock held.
    void reapEnded();

    const size_t m_maxThreads;
    const std::chrono::milliseconds m_idleTime;
    std::mutex m_mutex;
    std::condition_variable m_ready; // a job came, or the pool is closing
    std::condition_variable m_idle; // a job finished
    std::deque<std::function<void()>> m_jobs;
    std::list<Worker> m_workers; // a list: a worker keeps a reference to its entry
    size_t m_waiting = 0; // threads waiting for a job
    size_t m_running = 0; // jobs taken and not yet finished
    bool m_closing = false;
};

} // namespace platform
