#include "platform/Clock.h"

#include <atomic>
#include <ctime>

namespace platform {

namespace {

double systemSeconds()
{
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::atomic<double (*)()> gClock {systemSeconds};

} // namespace

Date now()
{
    return Date {gClock.load(std::memory_order_acquire)()};
}

void setClockForTesting(double (*clock)())
{
    gClock.store(clock ? clock : systemSeconds, std::memory_order_release);
}

} // namespace platform
