#include "raw_ping_pong.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace qiro::bench {
namespace {

constexpr int kWarmUp = 200;

bool moveAll(int fd, uint8_t* bytes, size_t count, bool sending) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = sending ? send(fd, bytes + done, count - done, MSG_NOSIGNAL)
                                  : recv(fd, bytes + done, count - done, 0);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// A connected TCP pair on loopback with TCP_NODELAY on both ends, as the gateways use.
void tcpPair(int ends[2]) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 1) != 0)
        throw std::runtime_error("cannot listen on loopback");
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    ends[0] = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(ends[0], reinterpret_cast<sockaddr*>(&address), size) != 0)
        throw std::runtime_error("cannot connect on loopback");
    ends[1] = accept(listener, nullptr, nullptr);
    close(listener);
    const int on = 1;
    for (int i = 0; i < 2; ++i)
        setsockopt(ends[i], IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void echoUntilClosed(int fd, size_t size) {
    std::vector<uint8_t> buffer(size);
    while (moveAll(fd, buffer.data(), size, false) && moveAll(fd, buffer.data(), size, true)) {
    }
}

}  // namespace

std::vector<double> rawRoundTrips(RawSocket kind, size_t size, int count) {
    int ends[2];
    if (kind == RawSocket::TcpLoopback)
        tcpPair(ends);
    else if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        throw std::runtime_error("cannot make a Unix socket pair");
    const pid_t echo = fork();
    if (echo == 0) {
        close(ends[0]);
        echoUntilClosed(ends[1], size);
        _exit(0);
    }
    close(ends[1]);
    std::vector<uint8_t> message(size, 0x5A);
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + count; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        if (!moveAll(ends[0], message.data(), size, true) ||
            !moveAll(ends[0], message.data(), size, false))
            throw std::runtime_error("raw ping-pong broke off");
        const auto end = std::chrono::steady_clock::now();
        if (i >= kWarmUp)
            samples.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    }
    close(ends[0]);
    waitpid(echo, nullptr, 0);
    return samples;
}

}  // namespace qiro::bench
