// Loopback TCP helpers for the gateway tests: free ports, a raw client that speaks frames and
// can send anything, and a waiting helper for servers that start in another process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/message_header.h"

namespace qiro::testing {

// A TCP port that nothing on the machine listens on right now.
uint16_t freePort();

// Waits until something accepts connections on 127.0.0.1:`port`.
bool waitUntilListening(uint16_t port, int waitMs = 20000);

MessageHeader requestHeader(uint32_t sid, uint32_t type, uint32_t code, uint32_t length,
                            uint32_t capacity);

// One reply frame as read off a connection.
struct Reply {
    MessageHeader header;
    std::vector<uint8_t> body;
};

// A blocking client socket with a receive time-out, so a test that waits for an answer that
// never comes fails instead of hanging.
class RawClient {
  public:
    explicit RawClient(uint16_t port, int receiveTimeoutMs = 40000);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return socket_ >= 0; }
    bool send(const void* bytes, size_t count);
    bool send(const std::vector<uint8_t>& bytes) { return send(bytes.data(), bytes.size()); }
    bool sendRequest(const MessageHeader& header, const std::vector<uint8_t>& body = {});
    // The next reply frame; empty when the connection ends or the time-out passes first.
    std::optional<Reply> readReply();
    // True when the server has closed the connection (within the receive time-out), false
    // when bytes arrive or the wait runs out.
    bool closedByPeer();
    void close();
    int socket() const { return socket_; }

  private:
    int socket_ = -1;
};

// Serializes a frame as it travels.
std::vector<uint8_t> frameBytes(const MessageHeader& header, const std::vector<uint8_t>& body = {});

}  // namespace qiro::testing
