// The listener of dtcpqiro.
#pragma once

#include "platform/win32_sockets.h"

namespace qiro {

// Binds `listener` to the gateway port on every local IPv4 address, listens and accepts until
// the listener fails or a stop is requested; each accepted connection gets TCP_NODELAY and a
// thread of its own. Failures that concern one connection attempt only (the peer gave up before
// it was accepted) or that pass (out of descriptors or memory for a moment) do not stop it.
void acceptLoop(SOCKET listener);

// Ends acceptLoop from a signal handler: async-signal-safe. The listener is shut down, so the
// blocked accept returns.
void requestStop(SOCKET listener);
bool stopRequested();

}  // namespace qiro
