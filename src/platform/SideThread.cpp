#include "platform/SideThread.h"

#include <future>
#include <pthread.h>
#include <sched.h>

namespace platform {

SideThread::SideThread(std::function<void()> work)
{
    cpu_set_t all;
    const bool known = sched_getaffinity(0, sizeof all, &all) == 0;
    std::promise<void> placed;
    std::future<void> ready = placed.get_future();
    thread_ = std::thread([work = std::move(work), ready = std::move(ready), all, known]() mutable {
        // Sent elsewhere before it could run, the thread may go anywhere again.
        ready.wait();
        if (known)
            sched_setaffinity(0, sizeof all, &all);
        work();
    });
    cpu_set_t others = all;
    const int mine = sched_getcpu();
    if (known && mine >= 0 && mine < CPU_SETSIZE)
        CPU_CLR(mine, &others);
    if (known && CPU_COUNT(&others) > 0)
        pthread_setaffinity_np(thread_.native_handle(), sizeof others, &others);
    placed.set_value();
}

namespace {

thread_local int tBusy = 0;

} // namespace

AllCoresBusy::AllCoresBusy()
{
    ++tBusy;
}

AllCoresBusy::~AllCoresBusy()
{
    --tBusy;
}

bool sideThreadsHelp(size_t pixels)
{
    static const bool several = std::thread::hardware_concurrency() > 1;
    return pixels >= (size_t(1) << 18) && several && tBusy == 0;
}

SideThread::~SideThread()
{
    join();
}

void SideThread::join()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace platform
