// A stand-in for the remote dtcpqiro on loopback, answering each request as a test scripts it,
// so the forwarding service can be shown every reply a peer might give.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "bus/message_header.h"

namespace qiro::testing {

struct Request {
    MessageHeader header;
    std::vector<uint8_t> body;
};

// What the fake does with one request: the bytes to send back (possibly none), and whether to
// close the connection afterwards.
struct Answer {
    std::vector<uint8_t> bytes;
    bool close = false;
    // Sends nothing and keeps the connection open until the client closes it, as a stuck peer.
    bool hang = false;
};

class FakeGateway {
  public:
    using Script = std::function<Answer(const Request&)>;

    // Listens on 127.0.0.1:`port` and serves connections one after another with `script`.
    FakeGateway(uint16_t port, Script script);
    // Stops listening and drops every connection.
    ~FakeGateway();

    int connectionsAccepted() const { return accepted_.load(); }
    std::vector<Request> requests() const;

  private:
    void serve();
    void serveConnection(int connection);

    int listener_ = -1;
    Script script_;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// A reply frame's bytes: status, and a body that is sent whatever the status says.
std::vector<uint8_t> replyFrame(const MessageHeader& request, uint32_t status,
                                const std::vector<uint8_t>& body = {}, uint32_t type = 0);

}  // namespace qiro::testing
