#include "fake_gateway.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "support/loopback.h"

namespace qiro::testing {
namespace {

bool readExactly(int fd, void* buffer, size_t count) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = recv(fd, bytes + done, count - done, 0);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Waits for the connection to become readable or the fake to stop.
bool waitReadable(int fd, const std::atomic<bool>& stopping) {
    pollfd entry{fd, POLLIN, 0};
    while (!stopping.load()) {
        if (poll(&entry, 1, 50) > 0)
            return true;
    }
    return false;
}

}  // namespace

FakeGateway::FakeGateway(uint16_t port, Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listener_, 5);
    thread_ = std::thread([this] { serve(); });
}

FakeGateway::~FakeGateway() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

std::vector<Request> FakeGateway::requests() const {
    std::lock_guard guard(lock_);
    return requests_;
}

void FakeGateway::serve() {
    while (waitReadable(listener_, stopping_)) {
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection < 0)
            continue;
        ++accepted_;
        serveConnection(connection);
        ::close(connection);
    }
}

void FakeGateway::serveConnection(int connection) {
    while (waitReadable(connection, stopping_)) {
        Request request{};
        if (!readExactly(connection, &request.header, sizeof request.header))
            return;
        request.body.resize(request.header.lengthOrStatus);
        if (!readExactly(connection, request.body.data(), request.body.size()))
            return;
        {
            std::lock_guard guard(lock_);
            requests_.push_back(request);
        }
        const Answer answer = script_(request);
        if (answer.hang) {
            // Until the client gives up and closes its side.
            waitReadable(connection, stopping_);
            return;
        }
        if (!answer.bytes.empty() &&
            send(connection, answer.bytes.data(), answer.bytes.size(), MSG_NOSIGNAL) < 0)
            return;
        if (answer.close)
            return;
    }
}

std::vector<uint8_t> replyFrame(const MessageHeader& request, uint32_t status,
                                const std::vector<uint8_t>& body, uint32_t type) {
    const MessageHeader reply{kReplyMagic,  request.sid, type == 0 ? request.type : type,
                              request.code, status,      uint32_t(body.size())};
    return frameBytes(reply, body);
}

}  // namespace qiro::testing
