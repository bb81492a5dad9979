#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace qiro::testing {
namespace {

sockaddr_in loopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int connectTo(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool receiveExactly(int fd, void* buffer, size_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t received = 0;
    while (received < count) {
        const ssize_t n = recv(fd, bytes + received, count - received, 0);
        if (n <= 0)
            return false;
        received += size_t(n);
    }
    return true;
}

}  // namespace

uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool waitUntilListening(uint16_t port, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = connectTo(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

MessageHeader requestHeader(uint32_t sid, uint32_t type, uint32_t code, uint32_t length,
                            uint32_t capacity) {
    return {kRequestMagic, sid, type, code, length, capacity};
}

std::vector<uint8_t> frameBytes(const MessageHeader& header, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes(sizeof header + body.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!body.empty())
        std::memcpy(bytes.data() + sizeof header, body.data(), body.size());
    return bytes;
}

RawClient::RawClient(uint16_t port, int receiveTimeoutMs) : socket_(connectTo(port)) {
    if (socket_ < 0)
        return;
    const int on = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    timeval timeout{receiveTimeoutMs / 1000, (receiveTimeoutMs % 1000) * 1000};
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

RawClient::~RawClient() {
    close();
}

void RawClient::close() {
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

bool RawClient::send(const void* bytes, size_t count) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    size_t sent = 0;
    while (sent < count) {
        const ssize_t n = ::send(socket_, data + sent, count - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

bool RawClient::sendRequest(const MessageHeader& header, const std::vector<uint8_t>& body) {
    return send(frameBytes(header, body));
}

std::optional<Reply> RawClient::readReply() {
    Reply reply{};
    if (!receiveExactly(socket_, &reply.header, sizeof reply.header))
        return std::nullopt;
    reply.body.resize(reply.header.capacityOrLength);
    if (!receiveExactly(socket_, reply.body.data(), reply.body.size()))
        return std::nullopt;
    return reply;
}

bool RawClient::closedByPeer() {
    uint8_t byte;
    const ssize_t n = recv(socket_, &byte, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

}  // namespace qiro::testing
