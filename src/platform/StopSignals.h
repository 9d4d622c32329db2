// StopSignals: SIGINT and SIGTERM turned from ending the process at once into
// a request to stop, which long-running commands check between steps and
// which ends a wait at once. At most one at a time in a process; it installs
// its handlers for its lifetime and puts the earlier ones back when it goes.
#pragma once

namespace platform {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that asked to stop, 0 while none has.
    int signal() const;
    bool stopped() const { return signal() != 0; }

    enum class Wake {
        Time, // the wall clock reached the instant
        ClockSet, // the wall clock was set meanwhile; the instant may be far off now
        Stop, // a stop was asked for
    };
    // Waits until the wall clock reads `millis` (milliseconds since 1970).
    // A suspended machine wakes it when the clock, caught up, passes the
    // instant.
    Wake waitUntil(double millis) const;
};

} // namespace platform
