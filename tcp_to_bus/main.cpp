// dtcpqiro, the TCP-to-bus gateway: accepts connections on the gateway port (3001, or
// QIRO_GATEWAY_PORT) and turns every request frame into a call on this machine's bus.
//
//   dtcpqiro [buffer limit in bytes]
//
// DESIGN: the main thread only accepts. Every connection is served by a detached thread of its
// own with its own BusInstance, blocking on its socket and on its bus calls; nothing of a
// connection is shared. On SIGINT or SIGTERM the listener is shut down, the live connections are
// shut down too, and the program waits a while for their threads to let go of their instances
// before it exits; a thread still inside a bus call by then is left to the operating system
// (the exit skips the library's teardown, which must not run under it).
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "tcp_to_bus/accept_loop.h"
#include "tcp_to_bus/command_line_number.h"
#include "tcp_to_bus/connection_thread.h"
#include "tcp_to_bus/live_connections.h"
#include "tcp_to_bus/stop_signals.h"

namespace {

// How long the program waits at exit for connection threads that are still serving.
constexpr int kConnectionEndWaitMs = 3000;

// Read by the signal handler; INVALID_SOCKET once the listener is closed.
volatile sig_atomic_t listeningSocket = INVALID_SOCKET;

void onStopSignal(int) {
    qiro::requestStop(listeningSocket);
}

// Each connection holds a socket and its bus instance's descriptors; allow as many as the system
// lets this process have.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// Ends the connection threads; false when some are still running after the wait.
bool endConnections() {
    qiro::liveConnections().shutdownAll();
    return qiro::liveConnections().waitUntilNone(kConnectionEndWaitMs);
}

}  // namespace

int main(int argc, char** argv) {
    std::puts("TCP/IP to QIRO translator v1.00");
    std::fflush(stdout);
    if (argc > 1)
        qiro::setBufferLimit(qiro::parseCommandLineNumber(argv[1]));

    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(1, 1), &data); error != 0)
        return error;
    raiseDescriptorLimit();

    bool connectionsEnded = true;
    listeningSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (listeningSocket != INVALID_SOCKET) {
        // Not restarted: an accept that the signal interrupts returns, and the loop sees the stop
        // even where the handler runs only after the call (as under ThreadSanitizer).
        qiro::onStopSignals(onStopSignal, false);
        qiro::acceptLoop(listeningSocket);
        if (!qiro::stopRequested())
            std::perror("TcpListen");
        const SOCKET listener = listeningSocket;
        listeningSocket = INVALID_SOCKET;
        closesocket(listener);
        connectionsEnded = endConnections();
    }
    const int status = WSACleanup();
    if (!connectionsEnded) {
        std::fflush(nullptr);
        _exit(status);
    }
    return status;
}
