#include "tcp_to_bus/accept_loop.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "tcp_to_bus/connection_thread.h"
#include "tcp_to_bus/gateway_socket.h"

namespace qiro {
namespace {

volatile sig_atomic_t stopFlag = 0;

// How long to pause before accepting again when the process is short of descriptors or memory.
constexpr useconds_t kResourcePauseUs = 50000;

enum class AcceptFailure { OneConnection, ShortOfResources, Listener };

AcceptFailure classifyAcceptFailure(int error) {
    switch (error) {
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case EPERM:
        case ENETDOWN:
        case ENETUNREACH:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENONET:
        case ENOPROTOOPT:
        case EOPNOTSUPP:
            return AcceptFailure::OneConnection;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return AcceptFailure::ShortOfResources;
        default:
            return AcceptFailure::Listener;
    }
}

bool bindAndListen(SOCKET listener) {
    // Windows lets a listener bind while connections of a former one linger in TIME_WAIT, so a
    // restarted gateway gets its port back at once; Linux needs SO_REUSEADDR for that, which
    // still refuses a second live listener on the port.
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(gatewayPort());
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
        return false;
    // A backlog of 5 was the most Windows Sockets 1.1 offered (its SOMAXCONN). Here so short a
    // queue drops the handshakes of a burst of clients, each then waiting a second for its
    // retry, so the listener asks for the most this system offers, as 5 was there.
    return listen(listener, SOMAXCONN) != SOCKET_ERROR;
}

}  // namespace

void acceptLoop(SOCKET listener) {
    if (!bindAndListen(listener))
        return;
    while (!stopRequested()) {
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) {
            if (stopRequested())
                return;
            const AcceptFailure failure = classifyAcceptFailure(errno);
            if (failure == AcceptFailure::Listener)
                return;
            if (failure == AcceptFailure::ShortOfResources)
                usleep(kResourcePauseUs);
            continue;
        }
        setNoDelay(connection);
        startConnectionThread(connection);
    }
}

void requestStop(SOCKET listener) {
    stopFlag = 1;
    shutdown(listener, SHUT_RDWR);
}

bool stopRequested() {
    return stopFlag != 0;
}

}  // namespace qiro
