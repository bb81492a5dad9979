#include "platform/win32_sockets.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

int WSAStartup(WORD versionRequested, WSADATA* data) {
    const BYTE major = versionRequested & 0xFF;
    const BYTE minor = versionRequested >> 8;
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    std::signal(SIGPIPE, SIG_IGN);
    if (data != nullptr) {
        std::memset(data, 0, sizeof *data);
        data->wVersion = MAKEWORD(1, 1);
        data->wHighVersion = MAKEWORD(2, 2);
        std::strcpy(data->szDescription, "POSIX sockets");
        std::strcpy(data->szSystemStatus, "Running");
    }
    return 0;
}

int WSACleanup() {
    return 0;
}

int closesocket(SOCKET socket) {
    return close(socket) == 0 ? 0 : SOCKET_ERROR;
}
