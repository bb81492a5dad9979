#include "tcp_to_bus/live_connections.h"

#include <chrono>

namespace qiro {

void LiveConnections::add(SOCKET socket) {
    std::lock_guard guard(lock_);
    sockets_.insert(socket);
}

void LiveConnections::remove(SOCKET socket) {
    std::lock_guard guard(lock_);
    sockets_.erase(socket);
    // Notified under the lock, so a waiter cannot go on and destroy this object first.
    if (sockets_.empty())
        emptied_.notify_all();
}

void LiveConnections::shutdownAll() {
    std::lock_guard guard(lock_);
    for (SOCKET socket : sockets_)
        shutdown(socket, SHUT_RDWR);
}

bool LiveConnections::waitUntilNone(int waitMs) {
    std::unique_lock guard(lock_);
    return emptied_.wait_for(guard, std::chrono::milliseconds(waitMs),
                             [this] { return sockets_.empty(); });
}

size_t LiveConnections::count() {
    std::lock_guard guard(lock_);
    return sockets_.size();
}

LiveConnections& liveConnections() {
    // Never destroyed: a thread that outlives the program's wait may still reach it at exit.
    static auto* connections = new LiveConnections;
    return *connections;
}

}  // namespace qiro
