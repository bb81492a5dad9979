// Socket set-up shared by both gateways: the gateway port, the TCP_NODELAY option and a
// connection attempt with a time limit.
#pragma once

#include <cstdint>

#include "platform/win32_sockets.h"

namespace qiro {

constexpr uint16_t kDefaultGatewayPort = 3001;

// The TCP port both gateways use: 3001, or the value of the environment variable
// QIRO_GATEWAY_PORT when that is a port number from 1 to 65535 (so that tests and a second pair
// of gateways can share a machine). Read once per process.
uint16_t gatewayPort();

// Sets TCP_NODELAY, so small frames leave at once. The option level is the protocol number that
// getprotobyname("TCP") gives, or IPPROTO_TCP when the protocols database has no entry. The
// result is only informative: a socket on which it fails is used all the same.
bool setNoDelay(SOCKET socket);

// Bounds every later send and recv on the socket to `waitMs` milliseconds without progress; such
// a call then fails with EAGAIN, which the transfer loops report as ETIMEDOUT.
bool setTransferTimeouts(SOCKET socket, int waitMs);

// Connects a blocking stream socket, giving up after `waitMs` milliseconds (errno ETIMEDOUT).
// The socket is blocking again afterwards. Returns 0, or SOCKET_ERROR with errno set.
int connectWithin(SOCKET socket, const sockaddr_in& address, int waitMs);

// The first IPv4 address of `host` (a name or a dotted address). False when it does not resolve.
bool resolveHost(const char* host, in_addr* address);

}  // namespace qiro
