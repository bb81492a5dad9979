// The one clock that timers, delay() and the application's real-time readings follow. The
// program uses the system clock; tests put a virtual clock in its place and move it by hand.
#pragma once

#include <cstdint>

namespace photon {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale; only differences mean something.
    virtual uint64_t nowMs() = 0;
    // Blocks the caller for that long (a virtual clock moves forward instead).
    virtual void sleepMs(uint64_t milliseconds) = 0;
};

// The clock in use: the system clock unless setCurrentClock gave another one.
Clock& currentClock();
// Puts `clock` in use; null restores the system clock. The caller keeps ownership.
void setCurrentClock(Clock* clock);

}  // namespace photon
