// SideThread: a thread for work done beside the caller's, started on another
// core than the caller's when there is one. Left to itself the scheduler
// (seen on 2-core virtual machines) queues a new thread on its creator's
// core, where it waits until the creator blocks, for milliseconds, while the
// other core idles: two decoders meant to run at once ran one after the
// other. Once started, the thread may run on any core. Owns its thread and
// joins it when destroyed.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace platform {

class SideThread {
public:
    // Throws std::system_error when no thread can be had, as std::thread does.
    explicit SideThread(std::function<void()> work);
    ~SideThread();
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    // Waits for the work to end; later calls return at once.
    void join();

private:
    std::thread thread_;
};

// While one lives, the thread that made it is one of a set of threads that
// keep every core busy already (a time-lapse's frame workers): work split off
// it would only queue behind the others', so sideThreadsHelp() says no there.
class AllCoresBusy {
public:
    AllCoresBusy();
    ~AllCoresBusy();
    AllCoresBusy(const AllCoresBusy&) = delete;
    AllCoresBusy& operator=(const AllCoresBusy&) = delete;
};

// Whether `pixels` of picture work split off the calling thread onto a
// SideThread may finish sooner: a quarter megapixel or more (a thread costs
// far less than half of that), more than one core, and the thread not one
// of those keeping them all busy.
bool sideThreadsHelp(size_t pixels);

} // namespace platform
