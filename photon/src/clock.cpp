#include "clock.h"

#include <chrono>
#include <thread>

namespace photon {
namespace {

class SystemClock final : public Clock {
  public:
    uint64_t nowMs() override {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    }
    void sleepMs(uint64_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

SystemClock systemClock;
Clock* clockInUse = &systemClock;

}  // namespace

Clock& currentClock() {
    return *clockInUse;
}
void setCurrentClock(Clock* clock) {
    clockInUse = clock ? clock : &systemClock;
}

}  // namespace photon
