// The one heap block a connection keeps for the request body and then the reply body of each
// exchange, reused across exchanges.
//
// It is sticky: it grows whenever a request needs more, but is replaced by a smaller one only
// when it is more than twice what is needed, and the buffer limit cuts it back only after an
// exchange and only when it is more than twice the limit. A size above kMaxBufferSize counts as
// an allocation that failed, so that one header asking for gigabytes cannot make the server
// take them.
#pragma once

#include <cstdint>

namespace qiro {

// The largest block a connection allocates: 64 MiB.
constexpr uint32_t kMaxBufferSize = 64u << 20;

class ConnectionBuffer {
  public:
    // `ceiling`: the largest block it allocates; a bigger need counts as a failed allocation.
    explicit ConnectionBuffer(uint32_t ceiling = kMaxBufferSize) : ceiling_(ceiling) {}
    ConnectionBuffer(const ConnectionBuffer&) = delete;
    ConnectionBuffer& operator=(const ConnectionBuffer&) = delete;
    ~ConnectionBuffer();

    // Makes room for a request before its body is read. The need is the larger of
    // `requestLength` and `capacity`; the block is replaced when the need is above its size or
    // below half its size. When no block of the need can be had, a request with a body that
    // still asks for more reply room than its length gets a block of its length instead (its
    // capacity is then cut to that). Afterwards, a size of 0 with a non-zero `requestLength`
    // means the request cannot be served.
    void prepareFor(uint32_t requestLength, uint32_t capacity);

    // After an exchange: when `limit` is not 0 and less than half the size, the block is
    // replaced by one of exactly `limit` bytes (or none, if that fails). 0 means no limit.
    void trimToLimit(uint32_t limit);

    uint8_t* data() const { return data_; }
    // The bytes allocated; 0 exactly when there is no block.
    uint32_t size() const { return size_; }

  private:
    // Frees the block, then allocates `bytes` (none for 0); size 0 when that fails.
    void replace(uint32_t bytes);

    uint32_t ceiling_;
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace qiro
