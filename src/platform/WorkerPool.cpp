#include "platform/WorkerPool.h"

namespace platform {

WorkerPool::WorkerPool(size_t maxThreads, std::chrono::milliseconds idleTime)
    : m_maxThreads(maxThreads == 0 ? 1 : maxThreads)
    , m_idleTime(idleTime)
{
}

WorkerPool::~WorkerPool()
{
    std::list<Worker> workers;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_ready.notify_all();
    // Workers run what is queued before they see the pool closing.
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && m_running == 0; });
    workers.splice(workers.end(), m_workers);
    lock.unlock();
    m_ready.notify_all();
    for (auto& worker : workers)
        worker.thread.join();
}

void WorkerPool::post(std::function<void()> job)
{
    std::lock_guard lock(m_mutex);
    reapEnded();
    m_jobs.push_back(std::move(job));
    if (m_waiting >= m_jobs.size()) {
        m_ready.notify_one();
        return;
    }
    size_t live = 0;
    for (const auto& worker : m_workers)
        live += worker.ended ? 0 : 1;
    if (live < m_maxThreads) {
        Worker& worker = m_workers.emplace_back();
        worker.thread = std::thread([this, &worker] { work(worker); });
    }
}

void WorkerPool::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && m_running == 0; });
    reapEnded();
}

void WorkerPool::work(Worker& self)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_waiting;
        bool woken
            = m_ready.wait_for(lock, m_idleTime, [this] { return m_closing || !m_jobs.empty(); });
        --m_waiting;
        if (m_jobs.empty()) {
            if (m_closing || !woken) {
                // Idle for long enough, or closing with nothing left to do.
                self.ended = true;
                return;
            }
            continue;
        }
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        job();
        job = nullptr; // what the job held goes before the pool hears it is done
        lock.lock();
        --m_running;
        m_idle.notify_all();
    }
}

void WorkerPool::reapEnded()
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->ended) {
            // The thread set `ended` as its last act under the lock; it is
            // leaving and the join cannot wait long.
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace platform
