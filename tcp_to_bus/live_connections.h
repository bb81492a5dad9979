// The accepted connections whose threads are still serving, so that the program can end them
// before it exits instead of leaving the exit's teardown to run under them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>

#include "platform/win32_sockets.h"

namespace qiro {

class LiveConnections {
  public:
    // Called by the listener before it starts the connection's thread.
    void add(SOCKET socket);
    // Called by the connection's thread once it has let go of its bus instance, before it closes
    // the socket (so that no later shutdown can reach a reused descriptor).
    void remove(SOCKET socket);
    // Shuts every live connection down, which makes its thread's next transfer fail.
    void shutdownAll();
    // Waits up to `waitMs` milliseconds for every connection thread to finish; true if they all
    // did.
    bool waitUntilNone(int waitMs);
    size_t count();

  private:
    std::mutex lock_;
    std::condition_variable emptied_;
    std::set<SOCKET> sockets_;
};

// The connections of this process.
LiveConnections& liveConnections();

}  // namespace qiro
