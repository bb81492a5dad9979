// The gateways stop cleanly on SIGINT and SIGTERM.
#pragma once

namespace qiro {

// Runs `handler` (which must be async-signal-safe) on SIGINT and SIGTERM. Interrupted system
// calls are restarted, so a signal that reaches a thread in the middle of a transfer does not
// fail it.
void onStopSignals(void (*handler)(int));

}  // namespace qiro
