// Windows Sockets 1.1 as the gateways use it, over POSIX sockets.
//
// The socket calls themselves (socket, bind, listen, accept, connect, send, recv, setsockopt,
// getprotobyname, gethostbyname, htons) have the same names and shapes in both worlds and are
// the system's own; this header adds what Windows has and POSIX lacks: the SOCKET handle type
// with its sentinels, the start and end of the sockets layer, and closesocket.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdint>

#include "platform/win32_types.h"

using SOCKET = int;
using WORD = uint16_t;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// The error WSAStartup gives when the version asked for is below 1.1, the lowest it offers.
constexpr int WSAVERNOTSUPPORTED = 10092;

constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return WORD(low | WORD(high) << 8);
}

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

// Starts the sockets layer for the process. Returns 0, or WSAVERNOTSUPPORTED when
// `versionRequested` (major version in the low byte) asks for less than 1.1. Besides filling
// `data`, it makes writes to a connection that the peer has closed fail with an error instead of
// raising SIGPIPE, as they do on Windows.
int WSAStartup(WORD versionRequested, WSADATA* data);

// Ends the sockets layer. Returns 0.
int WSACleanup();

// Closes a socket. Returns 0, or SOCKET_ERROR with errno set.
int closesocket(SOCKET socket);
