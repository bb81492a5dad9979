// Shared-memory buffers for large data items.
//
// A buffer is a memfd mapped once into this process and sealed against shrinking and growing, so
// that a peer that maps it can trust its size. Freed items give their buffer back to the
// process-wide pool, which keeps a bounded amount for reuse: mapping fresh pages for every poke
// would cost more in page faults than the copies that shared memory saves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qiro::platform {

// Items that grow to at least this size move into shared memory; smaller ones stay on the heap
// and travel inside the frame.
constexpr size_t kSharedMinimumSize = 64 * 1024;

// Whether large items use shared memory (the default). Turned off only to measure the plain
// path against it.
void setSharedMemoryEnabled(bool enabled);
bool sharedMemoryEnabled();

class SharedBuffer {
  public:
    uint32_t id() const { return id_; }
    int fd() const { return fd_; }
    uint8_t* address() const { return address_; }
    size_t capacity() const { return capacity_; }

  private:
    friend class SharedPool;
    SharedBuffer(uint32_t id, int fd, uint8_t* address, size_t capacity)
        : id_(id), fd_(fd), address_(address), capacity_(capacity) {}
    ~SharedBuffer();

    uint32_t id_;
    int fd_;
    uint8_t* address_;
    size_t capacity_;
};

class SharedPool {
  public:
    static SharedPool& instance();
    // A buffer of at least `size` bytes, or null when shared memory cannot be had.
    SharedBuffer* take(size_t size);
    void give(SharedBuffer* buffer);
    // Releases a buffer for good, never to be reused: a peer may still write into it.
    void discard(SharedBuffer* buffer);

  private:
    SharedPool() = default;
    std::mutex mutex_;
    std::vector<SharedBuffer*> free_;
    size_t freeBytes_ = 0;
    uint32_t nextId_ = 1;
};

// Maps a peer's buffer descriptor for reading and writing after checking its seals and size.
// Returns the address and stores the length, or null when the descriptor is not acceptable.
uint8_t* mapPeerBuffer(int fd, size_t* length);
void unmapPeerBuffer(uint8_t* address, size_t length);

}  // namespace qiro::platform
