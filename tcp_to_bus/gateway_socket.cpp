#include "tcp_to_bus/gateway_socket.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qiro {
namespace {

uint16_t portFromEnvironment() {
    const char* text = std::getenv("QIRO_GATEWAY_PORT");
    if (text == nullptr || *text == '\0')
        return kDefaultGatewayPort;
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (*end != '\0' || port < 1 || port > 65535)
        return kDefaultGatewayPort;
    return uint16_t(port);
}

int tcpOptionLevel() {
    const protoent* entry = getprotobyname("TCP");
    return entry != nullptr ? entry->p_proto : IPPROTO_TCP;
}

bool setBlocking(SOCKET socket, bool blocking) {
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    return fcntl(socket, F_SETFL, wanted) == 0;
}

// Waits for a non-blocking connect to finish and gives its outcome.
int finishConnect(SOCKET socket, int waitMs) {
    pollfd entry{socket, POLLOUT, 0};
    int ready;
    do {
        ready = poll(&entry, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        errno = ETIMEDOUT;
    if (ready <= 0)
        return SOCKET_ERROR;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return SOCKET_ERROR;
    if (error != 0) {
        errno = error;
        return SOCKET_ERROR;
    }
    return 0;
}

}  // namespace

uint16_t gatewayPort() {
    static const uint16_t port = portFromEnvironment();
    return port;
}

bool setNoDelay(SOCKET socket) {
    static const int level = tcpOptionLevel();
    const int on = 1;
    return setsockopt(socket, level, TCP_NODELAY, &on, sizeof on) == 0;
}

bool setTransferTimeouts(SOCKET socket, int waitMs) {
    const timeval timeout{waitMs / 1000, (waitMs % 1000) * 1000};
    return setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0 &&
           setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0;
}

int connectWithin(SOCKET socket, const sockaddr_in& address, int waitMs) {
    if (!setBlocking(socket, false))
        return SOCKET_ERROR;
    int result = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (result != 0 && (errno == EINPROGRESS || errno == EINTR))
        result = finishConnect(socket, waitMs);
    const int savedError = errno;
    if (!setBlocking(socket, true))
        return SOCKET_ERROR;
    errno = savedError;
    return result == 0 ? 0 : SOCKET_ERROR;
}

bool resolveHost(const char* host, in_addr* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

}  // namespace qiro
