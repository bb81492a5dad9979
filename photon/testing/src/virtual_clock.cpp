// The virtual clock of the test driver, and the clock_gettime that test programs see: while the
// virtual clock is in use, CLOCK_REALTIME readings come from it; every other clock (and every
// reading while no driver lives) goes to the kernel, so SDL's own timing keeps working.
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "clock.h"
#include "photon/testing/driver.h"
#include "virtual_clock_state.h"

namespace photon::testing {
namespace {

class Virtual final : public Clock {
  public:
    uint64_t nowMs() override { return state().nowMs; }
    void sleepMs(uint64_t milliseconds) override { state().nowMs += milliseconds; }
};

Virtual virtualClock;

}  // namespace

VirtualClockState& state() {
    static VirtualClockState instance;
    return instance;
}

void installVirtualClock() {
    state() = VirtualClockState{};
    state().active = true;
    setCurrentClock(&virtualClock);
}

void removeVirtualClock() {
    state().active = false;
    setCurrentClock(nullptr);
}

uint64_t VirtualClock::nowMs() const {
    return state().nowMs;
}
void VirtualClock::moveBy(uint64_t milliseconds) {
    state().nowMs += milliseconds;
}
int64_t VirtualClock::realtimeNs() const {
    const VirtualClockState& s = state();
    return s.realtimeStartNs + static_cast<int64_t>(s.nowMs - s.startMs) * 1000000;
}
void VirtualClock::setRealtimeNs(int64_t unixNanoseconds) {
    state().realtimeStartNs = unixNanoseconds;
    state().startMs = state().nowMs;
}
void VirtualClock::failRealtime(int error) {
    state().realtimeError = error;
}

}  // namespace photon::testing

extern "C" int clock_gettime(clockid_t clock, struct timespec* reading) {
    const auto& s = photon::testing::state();
    if (!s.active || clock != CLOCK_REALTIME) {
        return static_cast<int>(syscall(SYS_clock_gettime, clock, reading));
    }
    if (s.realtimeError != 0) {
        errno = s.realtimeError;
        return -1;
    }
    int64_t ns = photon::testing::VirtualClock{}.realtimeNs();
    reading->tv_sec = static_cast<time_t>(ns / 1000000000);
    reading->tv_nsec = static_cast<long>(ns % 1000000000);
    return 0;
}
