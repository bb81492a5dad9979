// The timers of PtTimer widgets, all on the run time's clock.
#pragma once

#include <cstdint>
#include <optional>

#include "widget.h"

namespace photon {

// Pt_ARG_TIMER_INITIAL: arms the timer to fire `milliseconds` from now; 0 disarms it.
void setTimerInitial(PtWidget* timer, long milliseconds);
// Pt_ARG_TIMER_REPEAT: the interval of the firings that follow. A timer that has fired and waits
// for its next repeat is rescheduled to its last firing plus the new interval (or now, if that
// has passed); 0 stops the repeats.
void setTimerRepeat(PtWidget* timer, long milliseconds);
// The timer is being destroyed.
void forgetTimer(PtWidget* timer);
// The clock reading at which the next timer is due, if any is armed.
std::optional<uint64_t> nextTimerDue();
// Fires, once each and in order of due time, every timer due at the clock's current reading.
// Returns the number fired.
int fireDueTimers();

}  // namespace photon
