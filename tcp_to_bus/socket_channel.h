// The frames of one accepted connection on its socket.
#pragma once

#include <cstdint>

#include "platform/win32_sockets.h"
#include "tcp_to_bus/exchange.h"

namespace qiro {

// How long a frame that has begun may stall (no byte moving either way) before the connection
// is dropped. Between frames a connection may stay idle for ever.
constexpr int kFrameStallMs = 30000;

// Reads ahead: reading a header takes whatever has arrived, up to kReadAhead bytes, so a small
// request's body comes with its header in one system call. Bytes read ahead are handed out to
// the following reads in order, so frames that a peer sends ahead are served one by one.
class SocketChannel final : public FrameChannel {
  public:
    static constexpr uint32_t kReadAhead = 4096;

    explicit SocketChannel(SOCKET socket, int stallMs = kFrameStallMs)
        : socket_(socket), stallMs_(stallMs) {}

    bool receiveHeader(MessageHeader& header) override;
    bool receiveBody(uint8_t* body, uint32_t length) override;
    bool sendReply(const MessageHeader& header, const uint8_t* body, uint32_t length) override;

  private:
    // Copies up to `count` bytes that were read ahead; returns how many.
    uint32_t takeStaged(void* destination, uint32_t count);

    SOCKET socket_;
    int stallMs_;
    uint8_t staged_[kReadAhead];
    uint32_t stagedBegin_ = 0;
    uint32_t stagedEnd_ = 0;
};

}  // namespace qiro
