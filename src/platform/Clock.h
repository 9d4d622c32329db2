// Clock: the current instant, and Date, the value type for one instant as
// seconds since 1970-01-01 00:00:00 UTC with their fraction. A Date owns
// nothing; the clock is the system's real-time clock unless a test replaces it.
#pragma once

namespace platform {

// One instant. Negative values lie before 1970; the fraction carries the
// sub-second part (to about a microsecond for present-day instants).
struct Date {
    double secondsSince1970 = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

// The current instant from the system's real-time clock.
Date now();

// Makes now() return what `clock` returns; nullptr restores the system clock.
// Not thread-safe: for tests only.
void setClockForTesting(double (*clock)());

} // namespace platform
