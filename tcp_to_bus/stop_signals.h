// The gateways stop cleanly on SIGINT and SIGTERM.
#pragma once

#include <csignal>

namespace qiro {

// Runs `handler` (which must be async-signal-safe) on SIGINT and SIGTERM. With
// `restartInterruptedCalls` a system call that the signal interrupts goes on; without it, it
// fails with EINTR, so a thread blocked in it can see that a stop was requested.
void onStopSignals(void (*handler)(int), bool restartInterruptedCalls);

// Keeps SIGINT and SIGTERM away from the calling thread, and from the threads it starts, while
// it lives: they then reach the thread that waits for them.
class StopSignalsBlocked {
  public:
    StopSignalsBlocked();
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

  private:
    sigset_t previous_;
};

}  // namespace qiro
