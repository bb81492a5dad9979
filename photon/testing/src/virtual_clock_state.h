// State of the test driver's virtual clock, shared by the clock, the driver and clock_gettime.
#pragma once

#include <cstdint>

namespace photon::testing {

struct VirtualClockState {
    bool active = false;
    uint64_t nowMs = 1000;
    // Real-time reading at nowMs == startMs: 2000-10-26 20:22:45.250 UTC by default, a quarter
    // second past a whole second so that tests see both parts of a reading.
    int64_t realtimeStartNs = 972591765250000000;
    uint64_t startMs = 1000;
    int realtimeError = 0;
};

VirtualClockState& state();
void installVirtualClock();
void removeVirtualClock();

}  // namespace photon::testing
