// The server's frame handling driven from memory: a FrameChannel that reads from a byte string
// and records what is sent, and a stand-in bus whose behaviour the request code chooses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tcp_to_bus/exchange.h"

namespace qiro::testing {

class MemoryChannel final : public FrameChannel {
  public:
    MemoryChannel(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool receiveHeader(MessageHeader& header) override { return take(&header, kHeaderSize); }
    bool receiveBody(uint8_t* body, uint32_t length) override { return take(body, length); }
    bool sendReply(const MessageHeader& header, const uint8_t* body, uint32_t length) override {
        const auto* headerBytes = reinterpret_cast<const uint8_t*>(&header);
        sent.insert(sent.end(), headerBytes, headerBytes + kHeaderSize);
        if (length != 0)
            sent.insert(sent.end(), body, body + length);
        ++replies;
        return true;
    }

    std::vector<uint8_t> sent;
    int replies = 0;

  private:
    // Like recvAll: a short read consumes what is left and fails.
    bool take(void* destination, uint32_t count) {
        const size_t available = std::min<size_t>(count, size_ - position_);
        if (available != 0)
            std::memcpy(destination, data_ + position_, available);
        position_ += available;
        return available == count;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// The service type the stand-in bus reports with WrongType.
constexpr uint32_t kStandInServiceType = 0x5E2F;

// By request code: 0 echoes the request into the reply room (as much as fits); 7 answers
// WrongType with kStandInServiceType; 100 claims one byte more than the room (a faulty bus);
// any other code returns itself as the status.
class StandInBus final : public CallTarget {
  public:
    CallStatus call(uint32_t sid, uint32_t* type, uint32_t code, BufferPiece* requestPieces,
                    uint32_t requestCount, BufferPiece* replyPieces, uint32_t replyCount,
                    uint32_t timeout) override {
        lastSid = sid;
        lastType = *type;
        lastTimeout = timeout;
        ++calls;
        if (requestCount != 1 || replyCount != 1)
            return CallStatus::BusError;
        BufferPiece& request = requestPieces[0];
        BufferPiece& reply = replyPieces[0];
        lastRequest.assign(request.data, request.data + request.length);
        lastRoom = reply.length;
        switch (code) {
            case 0: {
                const uint32_t length = std::min(request.length, reply.length);
                if (length != 0)
                    std::memmove(reply.data, request.data, length);
                reply.length = length;
                return CallStatus::Ok;
            }
            case 7:
                *type = kStandInServiceType;
                return CallStatus::WrongType;
            case 100:
                reply.length += 1;
                return CallStatus::Ok;
            default:
                return CallStatus(code);
        }
    }

    int calls = 0;
    uint32_t lastSid = 0;
    uint32_t lastType = 0;
    uint32_t lastTimeout = 0;
    uint32_t lastRoom = 0;
    std::vector<uint8_t> lastRequest;
};

}  // namespace qiro::testing
