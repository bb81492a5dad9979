// The server's side of the gateway exchange: read a request frame, make the bus call it names,
// answer with a reply frame in the very header the request came in.
//
// The frame handling knows neither sockets nor the bus directly: it reads and writes through a
// FrameChannel and calls through a CallTarget, so the program drives it with a socket and the
// thread's BusInstance, and the fuzz target with memory and a stand-in bus.
#pragma once

#include <cstdint>

#include "bus/buffer_piece.h"
#include "bus/message_header.h"
#include "tcp_to_bus/connection_buffer.h"

namespace qiro {

// One connection's frames. A false result ends the connection.
class FrameChannel {
  public:
    // Waits for the next request header, however long the connection stays idle; false when
    // fewer than 24 bytes arrive.
    virtual bool receiveHeader(MessageHeader& header) = 0;
    // Reads exactly `length` body bytes of the frame that has begun.
    virtual bool receiveBody(uint8_t* body, uint32_t length) = 0;
    // Sends the reply header and `length` body bytes, whole.
    virtual bool sendReply(const MessageHeader& header, const uint8_t* body, uint32_t length) = 0;

  protected:
    ~FrameChannel() = default;
};

// A bus call, shaped as BusInstance::call.
class CallTarget {
  public:
    virtual CallStatus call(uint32_t sid, uint32_t* type, uint32_t code, BufferPiece* requestPieces,
                            uint32_t requestCount, BufferPiece* replyPieces, uint32_t replyCount,
                            uint32_t timeout) = 0;

  protected:
    ~CallTarget() = default;
};

// The descriptor of one bus call, made afresh for each request.
class ServiceProxy final {
  public:
    ServiceProxy(CallTarget& instance, uint32_t sid, uint32_t timeout, uint32_t type)
        : instance(instance), sid(sid), timeout(timeout), type(type) {}

    virtual uint32_t getType() { return type; }

    CallTarget& instance;
    uint32_t sid;
    // Milliseconds for the bus call; 0 gives the bus default.
    uint32_t timeout;
    CallStatus status = CallStatus::Ok;
    // Goes into the call as the type presented and comes back, after WrongType, as the
    // service's own type.
    uint32_t replyType = 0;
    uint32_t type;
};

// The time limit the server gives its bus calls: 0, the bus default. A frame has no field for it.
constexpr uint32_t kServerCallTimeout = 0;

// Serves one request: reads its frame into `header` and `buffer`, calls the bus and sends the
// reply. Returns false when the connection is to end (short or malformed frame, no room for a
// request body, reply not sent whole); nothing is sent for the frame at hand then. After the
// reply, the buffer is cut back to `bufferLimit` (0: no limit).
bool serveExchange(FrameChannel& channel, CallTarget& bus, ConnectionBuffer& buffer,
                   uint32_t bufferLimit, MessageHeader& header);

// Serves exchanges one after another until one ends the connection. `bufferCeiling` is the
// largest buffer a request may have (see ConnectionBuffer).
void serveConnection(FrameChannel& channel, CallTarget& bus, uint32_t bufferLimit,
                     uint32_t bufferCeiling = kMaxBufferSize);

}  // namespace qiro
