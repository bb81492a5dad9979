#include "timers.h"

#include <algorithm>
#include <vector>

#include "clock.h"

namespace photon {
namespace {

// Armed timers; a timer leaves the list when it is disarmed or destroyed.
std::vector<PtWidget*> armedTimers;

void arm(PtWidget* timer, uint64_t due) {
    timer->timer.armed = true;
    timer->timer.due = due;
    if (std::find(armedTimers.begin(), armedTimers.end(), timer) == armedTimers.end()) {
        armedTimers.push_back(timer);
    }
}

void disarm(PtWidget* timer) {
    timer->timer.armed = false;
    std::erase(armedTimers, timer);
}

}  // namespace

void setTimerInitial(PtWidget* timer, long milliseconds) {
    timer->timer.initial = milliseconds;
    timer->timer.waitingForRepeat = false;
    if (milliseconds <= 0) {
        disarm(timer);
        return;
    }
    arm(timer, currentClock().nowMs() + static_cast<uint64_t>(milliseconds));
}

void setTimerRepeat(PtWidget* timer, long milliseconds) {
    TimerState& state = timer->timer;
    state.repeat = milliseconds;
    if (!state.armed || !state.waitingForRepeat) {
        return;
    }
    if (milliseconds <= 0) {
        disarm(timer);
        return;
    }
    arm(timer,
        std::max(currentClock().nowMs(), state.lastFiring + static_cast<uint64_t>(milliseconds)));
}

void forgetTimer(PtWidget* timer) {
    disarm(timer);
}

std::optional<uint64_t> nextTimerDue() {
    std::optional<uint64_t> earliest;
    for (PtWidget* timer : armedTimers) {
        if (!earliest || timer->timer.due < *earliest) {
            earliest = timer->timer.due;
        }
    }
    return earliest;
}

int fireDueTimers() {
    uint64_t now = currentClock().nowMs();
    std::vector<PtWidget*> due;
    for (PtWidget* timer : armedTimers) {
        if (timer->timer.due <= now) {
            due.push_back(timer);
        }
    }
    std::sort(due.begin(), due.end(),
              [](PtWidget* a, PtWidget* b) { return a->timer.due < b->timer.due; });
    int fired = 0;
    for (PtWidget* timer : due) {
        // A callback that ran before may have disarmed, rescheduled or destroyed this timer.
        bool stillArmed =
            std::find(armedTimers.begin(), armedTimers.end(), timer) != armedTimers.end();
        if (!stillArmed || timer->timer.due > now) {
            continue;
        }
        // Schedule the next firing before the callback runs, so that resources the callback
        // sets take effect from there.
        TimerState& state = timer->timer;
        state.waitingForRepeat = true;
        state.lastFiring = currentClock().nowMs();
        if (state.repeat > 0) {
            arm(timer, state.lastFiring + static_cast<uint64_t>(state.repeat));
        } else {
            disarm(timer);
        }
        invokeCallbacks(timer, Pt_CB_TIMER_ACTIVATE);
        ++fired;
    }
    return fired;
}

}  // namespace photon
