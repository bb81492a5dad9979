#include "bench/transport/round_trip.h"

#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/ddeml.h"
#include "platform/shared_pool.h"
#include "platform/win32_messages.h"
#include "platform/win32_threads.h"

namespace qiro::bench {

namespace {

uint64_t nowNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

void place(Placement placement) {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (placement.pinned) {
        CPU_SET(0, &cpus);
    } else {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            CPU_SET(cpu, &cpus);
        }
    }
    if (sched_setaffinity(0, sizeof cpus, &cpus) != 0 && placement.pinned) {
        std::perror("sched_setaffinity");
        std::exit(1);
    }
}

bool transfer(int fd, char* data, size_t length, bool sending) {
    while (length > 0) {
        ssize_t done = sending ? send(fd, data, length, MSG_NOSIGNAL) : recv(fd, data, length, 0);
        if (done <= 0) {
            return false;
        }
        data += done;
        length -= static_cast<size_t>(done);
    }
    return true;
}

int warmUpCount(int iterations) {
    return iterations / 10 < 1000 ? iterations / 10 : 1000;
}

}  // namespace

std::vector<uint64_t> rawSocketRoundTrips(size_t bytes, int iterations, Placement placement) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        std::perror("socketpair");
        std::exit(1);
    }
    // Socket buffers large enough for a whole megabyte, as the transport's large path needs none.
    int bufferSize = 4 * 1024 * 1024;
    for (int fd : pair) {
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    }
    std::string buffer(bytes, '\7');
    pid_t server = fork();
    if (server == 0) {
        close(pair[0]);
        place(placement);
        while (transfer(pair[1], buffer.data(), bytes, false)) {
            buffer[0] ^= 1;  // the same edit the transport's server makes
            if (!transfer(pair[1], buffer.data(), bytes, true)) {
                break;
            }
        }
        _exit(0);
    }
    close(pair[1]);
    place(placement);
    std::vector<uint64_t> times;
    times.reserve(static_cast<size_t>(iterations));
    for (int i = -warmUpCount(iterations); i < iterations; ++i) {
        uint64_t start = nowNs();
        if (!transfer(pair[0], buffer.data(), bytes, true) ||
            !transfer(pair[0], buffer.data(), bytes, false)) {
            std::fprintf(stderr, "raw ping-pong broke\n");
            std::exit(1);
        }
        if (i >= 0) {
            times.push_back(nowNs() - start);
        }
    }
    close(pair[0]);
    waitpid(server, nullptr, 0);
    return times;
}

namespace {

constexpr const char* kServiceName = "QIRO 1";

HDDEDATA flipFirstByte(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_CONNECT) {
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    DWORD size = 0;
    BYTE* bytes = DdeAccessData(data, &size);
    if (bytes == nullptr) {
        return nullptr;
    }
    if (size > 0) {
        bytes[0] ^= 1;
    }
    DdeUnaccessData(data);
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(DDE_FACK));
}

DWORD serverThread = 0;

void quitOnSignal(int) {
    PostThreadMessageA(serverThread, WM_QUIT, 0, 0);
}

[[noreturn]] void serveUntilTerminated(int readyFd, Placement placement) {
    place(placement);
    DWORD instance = 0;
    if (DdeInitializeA(&instance, flipFirstByte, APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS,
                       0) != DMLERR_NO_ERROR) {
        _exit(2);
    }
    serverThread = GetCurrentThreadId();
    signal(SIGTERM, quitOnSignal);
    HSZ name = DdeCreateStringHandleA(instance, kServiceName, CP_WINANSI);
    DdeNameService(instance, name, nullptr, DNS_REGISTER);
    char ready = 'r';
    if (write(readyFd, &ready, 1) != 1) {
        _exit(3);
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        DispatchMessageA(&message);
    }
    DdeUninitialize(instance);
    _exit(0);
}

HDDEDATA noCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

}  // namespace

std::vector<uint64_t> transportRoundTrips(size_t bytes, int iterations, Placement placement,
                                          bool sharedMemory) {
    qiro::platform::setSharedMemoryEnabled(sharedMemory);
    int ready[2];
    if (pipe(ready) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    pid_t server = fork();
    if (server == 0) {
        close(ready[0]);
        serveUntilTerminated(ready[1], placement);
    }
    close(ready[1]);
    char byte;
    if (read(ready[0], &byte, 1) != 1) {
        std::fprintf(stderr, "transport server did not start\n");
        std::exit(1);
    }
    close(ready[0]);
    place(placement);
    DWORD instance = 0;
    DdeInitializeA(&instance, noCallback, APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS, 0);
    UINT format = RegisterClipboardFormatA("QIRO");
    HSZ name = DdeCreateStringHandleA(instance, kServiceName, CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, nullptr);
    if (conversation == nullptr) {
        std::fprintf(stderr, "transport connect failed\n");
        std::exit(1);
    }
    std::string request(bytes, '\7');
    std::string reply(bytes, '\0');
    const size_t headerBytes = bytes < 24 ? bytes : 24;
    std::vector<uint64_t> times;
    times.reserve(static_cast<size_t>(iterations));
    for (int i = -warmUpCount(iterations); i < iterations; ++i) {
        uint64_t start = nowNs();
        HDDEDATA item =
            DdeCreateDataHandle(instance, reinterpret_cast<const BYTE*>(request.data()),
                                static_cast<DWORD>(headerBytes), 0, name, format, HDATA_APPOWNED);
        item = DdeAddData(item, reinterpret_cast<const BYTE*>(request.data()) + headerBytes,
                          static_cast<DWORD>(bytes - headerBytes), static_cast<DWORD>(headerBytes));
        HDDEDATA done = DdeClientTransaction(reinterpret_cast<BYTE*>(item), DDE_DATA_IS_HANDLE,
                                             conversation, name, format, XTYP_POKE, 30000, nullptr);
        DWORD got =
            DdeGetData(item, reinterpret_cast<BYTE*>(reply.data()), static_cast<DWORD>(bytes), 0);
        DdeFreeDataHandle(item);
        if (done == nullptr || got != bytes || reply[0] != (request[0] ^ 1)) {
            std::fprintf(stderr, "transport poke failed: error 0x%x\n", DdeGetLastError(instance));
            std::exit(1);
        }
        if (i >= 0) {
            times.push_back(nowNs() - start);
        }
    }
    DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    qiro::platform::setSharedMemoryEnabled(true);
    return times;
}

}  // namespace qiro::bench
