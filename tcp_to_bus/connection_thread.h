// The thread that serves one accepted connection: it attaches to the bus with a BusInstance of
// its own, turns every request frame into a call on it and answers on the same connection.
#pragma once

#include <cstdint>

#include "platform/win32_sockets.h"
#include "platform/win32_threads.h"

namespace qiro {

// The buffer limit of every connection, in bytes; 0 means none. Set before the first connection
// thread starts and only read afterwards.
void setBufferLimit(uint32_t limit);
uint32_t bufferLimit();

// The thread routine: `parameter` carries the accepted socket. Serves until the connection ends,
// then deletes its instance and closes the socket; returns 0.
DWORD connectionThread(LPVOID parameter);

// Starts connectionThread for `socket` on a detached thread, tracked in liveConnections() while
// it runs. False, with the socket closed, when no thread can be started.
bool startConnectionThread(SOCKET socket);

}  // namespace qiro
