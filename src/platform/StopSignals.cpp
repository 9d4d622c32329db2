#include "platform/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {
namespace {

std::atomic<int> gSignal {0};
// Written by the handler so that a poll in progress wakes: a flag alone
// would be seen only when the wait ends.
int gWake[2] = {-1, -1};
struct sigaction gOldInt, gOldTerm;

void onStop(int signal)
{
    const int saved = errno;
    gSignal.store(signal);
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(gWake[1], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals()
{
    if (::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot make a pipe for the stop signals");
    gSignal.store(0);
    struct sigaction action { };
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: a write in progress finishes whole,
    // and the work checks the flag at its next step.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &gOldInt);
    ::sigaction(SIGTERM, &action, &gOldTerm);
}

StopSignals::~StopSignals()
{
    ::sigaction(SIGINT, &gOldInt, nullptr);
    ::sigaction(SIGTERM, &gOldTerm, nullptr);
    ::close(gWake[0]);
    ::close(gWake[1]);
    gWake[0] = gWake[1] = -1;
}

int StopSignals::signal() const
{
    return gSignal.load();
}

StopSignals::Wake StopSignals::waitUntil(double millis) const
{
    // A timer on the wall clock, not a timeout: a timeout counts elapsed
    // time, which stands still while the machine sleeps, and ignores the
    // clock being set.
    const int timer = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC);
    if (timer < 0)
        throw std::runtime_error("cannot make a timer");
    itimerspec when {};
    const double seconds = std::floor(millis / 1000.0);
    when.it_value.tv_sec = time_t(seconds);
    when.it_value.tv_nsec = long((millis - seconds * 1000.0) * 1e6);
    if (when.it_value.tv_sec <= 0 && when.it_value.tv_nsec <= 0)
        when.it_value.tv_nsec = 1; // zero would disarm it
    ::timerfd_settime(timer, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr);
    Wake wake = Wake::Stop;
    for (;;) {
        if (stopped())
            break;
        pollfd fds[2] = {{gWake[0], POLLIN, 0}, {timer, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (stopped())
            break;
        if (fds[1].revents & POLLIN) {
            uint64_t expirations = 0;
            const ssize_t n = ::read(timer, &expirations, sizeof expirations);
            wake = n < 0 && errno == ECANCELED ? Wake::ClockSet : Wake::Time;
            break;
        }
    }
    ::close(timer);
    return wake;
}

} // namespace platform
