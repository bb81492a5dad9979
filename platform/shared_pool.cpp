#include "platform/shared_pool.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <new>

namespace qiro::platform {

namespace {

std::atomic<bool> sharedEnabled{true};

// How much freed shared memory the process keeps for reuse.
constexpr size_t kMaxFreeBytes = 64u * 1024 * 1024;
constexpr int kRequiredSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;

size_t roundUpPowerOfTwo(size_t size) {
    size_t capacity = kSharedMinimumSize;
    while (capacity < size) {
        capacity *= 2;
    }
    return capacity;
}

}  // namespace

void setSharedMemoryEnabled(bool enabled) {
    sharedEnabled.store(enabled);
}

bool sharedMemoryEnabled() {
    return sharedEnabled.load();
}

SharedBuffer::~SharedBuffer() {
    munmap(address_, capacity_);
    close(fd_);
}

namespace {

// Never destroyed: data items may be freed while the program exits.
SharedPool* processPool = nullptr;

}  // namespace

SharedPool& SharedPool::instance() {
    static const int made = [] {
        processPool = new SharedPool;
        // A forked child must not reuse the parent's free buffers: their pages are the parent's.
        // It starts with a pool of its own (the inherited one, and its lock, are left alone).
        pthread_atfork(nullptr, nullptr, [] {
            if (auto* fresh = new (std::nothrow) SharedPool) {
                processPool = fresh;
            }
        });
        return 0;
    }();
    (void)made;
    return *processPool;
}

SharedBuffer* SharedPool::take(size_t size) {
    size_t capacity = roundUpPowerOfTwo(size);
    uint32_t id;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < free_.size(); ++i) {
            if (free_[i]->capacity() == capacity) {
                SharedBuffer* buffer = free_[i];
                free_[i] = free_.back();
                free_.pop_back();
                freeBytes_ -= capacity;
                return buffer;
            }
        }
        id = nextId_++;
    }
    int fd = memfd_create("qiro-data", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(capacity)) != 0 ||
        fcntl(fd, F_ADD_SEALS, kRequiredSeals) != 0) {
        close(fd);
        return nullptr;
    }
    void* address = mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    auto* buffer =
        new (std::nothrow) SharedBuffer(id, fd, static_cast<uint8_t*>(address), capacity);
    if (buffer == nullptr) {
        munmap(address, capacity);
        close(fd);
    }
    return buffer;
}

void SharedPool::give(SharedBuffer* buffer) {
    {
        std::lock_guard lock(mutex_);
        if (freeBytes_ + buffer->capacity() <= kMaxFreeBytes) {
            try {
                free_.push_back(buffer);
                freeBytes_ += buffer->capacity();
                return;
            } catch (...) {
                // No room to keep it: it is released below.
            }
        }
    }
    delete buffer;
}

void SharedPool::discard(SharedBuffer* buffer) {
    delete buffer;
}

uint8_t* mapPeerBuffer(int fd, size_t* length) {
    int seals = fcntl(fd, F_GET_SEALS);
    struct stat info;
    if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_GROW)) != (F_SEAL_SHRINK | F_SEAL_GROW) ||
        fstat(fd, &info) != 0 || info.st_size <= 0) {
        return nullptr;
    }
    void* address =
        mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        return nullptr;
    }
    *length = static_cast<size_t>(info.st_size);
    return static_cast<uint8_t*>(address);
}

void unmapPeerBuffer(uint8_t* address, size_t length) {
    munmap(address, length);
}

}  // namespace qiro::platform
