#include "platform/frame_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qiro::platform {

FrameReader::~FrameReader() {
    reset();
    dropDescriptors();
}

void FrameReader::reset() {
    std::free(payload_);
    payload_ = nullptr;
    payloadFilled_ = 0;
    headerFilled_ = 0;
}

void FrameReader::dropDescriptors() {
    for (int i = 0; i < descriptorCount_; ++i) {
        close(descriptors_[i]);
    }
    descriptorCount_ = 0;
}

int FrameReader::takeDescriptor() {
    if (descriptorCount_ == 0) {
        return -1;
    }
    int oldest = descriptors_[0];
    std::memmove(descriptors_, descriptors_ + 1, (descriptorCount_ - 1) * sizeof(int));
    --descriptorCount_;
    return oldest;
}

FrameReader::Fill FrameReader::receiveInto(int fd, uint8_t* into, size_t room, size_t* got) {
    iovec part{into, room};
    alignas(cmsghdr) char control[CMSG_SPACE(kMaxPendingDescriptors * sizeof(int))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t count;
    do {
        count = recvmsg(fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        // The control buffer holds nothing then.
        return errno == EAGAIN || errno == EWOULDBLOCK ? Fill::Again : Fill::Closed;
    }
    bool overflow = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        size_t passedCount = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < passedCount; ++i) {
            int passed;
            std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
            if (descriptorCount_ < kMaxPendingDescriptors) {
                descriptors_[descriptorCount_++] = passed;
            } else {
                close(passed);
                overflow = true;
            }
        }
    }
    if (overflow || (message.msg_flags & MSG_CTRUNC)) {
        return Fill::Broken;  // more descriptors than any honest peer sends
    }
    if (count == 0) {
        return Fill::Closed;
    }
    *got = static_cast<size_t>(count);
    return Fill::Done;
}

size_t FrameReader::takeStaged(uint8_t* to, size_t count) {
    size_t available = stageEnd_ - stageStart_;
    size_t moved = count < available ? count : available;
    std::memcpy(to, stage_ + stageStart_, moved);
    stageStart_ += moved;
    if (stageStart_ == stageEnd_) {
        stageStart_ = stageEnd_ = 0;
    }
    return moved;
}

bool FrameReader::startPayload() {
    if (header_.length == 0) {
        return true;
    }
    if (header_.length > kMaxFramePayload) {
        return false;
    }
    payload_ = static_cast<uint8_t*>(std::malloc(header_.length));
    return payload_ != nullptr;
}

ReadResult FrameReader::read(int fd, bool receive) {
    auto* headerBytes = reinterpret_cast<uint8_t*>(&header_);
    for (;;) {
        if (headerFilled_ < sizeof header_) {
            headerFilled_ +=
                takeStaged(headerBytes + headerFilled_, sizeof header_ - headerFilled_);
            if (headerFilled_ == sizeof header_ && !startPayload()) {
                return ReadResult::Broken;
            }
        }
        if (headerFilled_ == sizeof header_) {
            if (payloadFilled_ < header_.length) {
                payloadFilled_ +=
                    takeStaged(payload_ + payloadFilled_, header_.length - payloadFilled_);
            }
            if (payloadFilled_ == header_.length) {
                return ReadResult::Frame;
            }
        }
        if (!receive) {
            return ReadResult::Again;
        }
        // The stage is empty here. A large remainder goes straight into the payload block.
        size_t remaining = headerFilled_ == sizeof header_ ? header_.length - payloadFilled_ : 0;
        bool direct = remaining >= kStageSize;
        size_t got = 0;
        Fill fill = direct ? receiveInto(fd, payload_ + payloadFilled_, remaining, &got)
                           : receiveInto(fd, stage_, kStageSize, &got);
        switch (fill) {
            case Fill::Again:
                return ReadResult::Again;
            case Fill::Closed:
                return ReadResult::Closed;
            case Fill::Broken:
                return ReadResult::Broken;
            case Fill::Done:
                break;
        }
        if (direct) {
            payloadFilled_ += got;
        } else {
            stageEnd_ = got;
        }
    }
}

uint8_t* FrameReader::takePayload() {
    uint8_t* payload = payload_;
    payload_ = nullptr;
    reset();
    return payload;
}

Outbox::~Outbox() {
    for (Chunk& chunk : chunks_) {
        std::free(chunk.owned);
        if (chunk.descriptor >= 0) {
            close(chunk.descriptor);
        }
    }
}

bool Outbox::send(int fd, const FrameHeader& header, const void* part1, size_t length1,
                  const void* part2, size_t length2, uint8_t* payloadOwned, int descriptor) {
    if (!queue(header, part1, length1, part2, length2, payloadOwned, descriptor)) {
        return false;
    }
    return writeChunks(fd);
}

bool Outbox::queue(const FrameHeader& header, const void* part1, size_t length1, const void* part2,
                   size_t length2, uint8_t* payloadOwned, int descriptor) {
    // The header is always copied: it is small and its caller's copy lives on the stack.
    auto* headerCopy = static_cast<uint8_t*>(std::malloc(sizeof header));
    int descriptorCopy = descriptor >= 0 ? fcntl(descriptor, F_DUPFD_CLOEXEC, 0) : -1;
    if (headerCopy == nullptr || (descriptor >= 0 && descriptorCopy < 0)) {
        std::free(headerCopy);
        std::free(payloadOwned);
        return false;
    }
    std::memcpy(headerCopy, &header, sizeof header);
    size_t before = chunks_.size();
    try {
        chunks_.push_back({headerCopy, sizeof header, headerCopy, descriptorCopy});
        if (length1 > 0) {
            chunks_.push_back({static_cast<const uint8_t*>(part1), length1, nullptr, -1});
        }
        if (length2 > 0) {
            chunks_.push_back({static_cast<const uint8_t*>(part2), length2, nullptr, -1});
        }
    } catch (...) {
        if (chunks_.size() > before) {
            chunks_.resize(before);
        }
        std::free(headerCopy);
        std::free(payloadOwned);
        if (descriptorCopy >= 0) {
            close(descriptorCopy);
        }
        return false;
    }
    if (payloadOwned != nullptr) {
        // The owned block is freed with the last chunk, which is the last to point into it.
        if (chunks_.size() > before + 1) {
            chunks_.back().owned = payloadOwned;
        } else {
            std::free(payloadOwned);
        }
    }
    return true;
}

bool Outbox::flush(int fd) {
    return writeChunks(fd);
}

bool Outbox::writeChunks(int fd) {
    constexpr size_t kMaxParts = 8;
    while (!chunks_.empty()) {
        iovec parts[kMaxParts];
        size_t count = 0;
        // A descriptor must go with the first byte of its chunk, so it starts a write of its own.
        for (const Chunk& chunk : chunks_) {
            if (count == kMaxParts || (count > 0 && chunk.descriptor >= 0)) {
                break;
            }
            parts[count++] = {const_cast<uint8_t*>(chunk.data), chunk.length};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = count;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        if (chunks_.front().descriptor >= 0) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            cmsghdr* c = CMSG_FIRSTHDR(&message);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(c), &chunks_.front().descriptor, sizeof(int));
        }
        ssize_t sent = sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (chunks_.front().descriptor >= 0 && sent > 0) {
            close(chunks_.front().descriptor);
            chunks_.front().descriptor = -1;
        }
        auto left = static_cast<size_t>(sent);
        while (left > 0) {
            Chunk& chunk = chunks_.front();
            if (left < chunk.length) {
                chunk.data += left;
                chunk.length -= left;
                break;
            }
            left -= chunk.length;
            std::free(chunk.owned);
            chunks_.pop_front();
        }
    }
    return true;
}

bool Outbox::detach() {
    for (Chunk& chunk : chunks_) {
        if (chunk.owned != nullptr) {
            continue;
        }
        auto* copy = static_cast<uint8_t*>(std::malloc(chunk.length));
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, chunk.data, chunk.length);
        chunk.data = copy;
        chunk.owned = copy;
    }
    return true;
}

void enlargeBuffers(int fd) {
    // Items that travel inside frames (when shared memory cannot be had) may be large; with the
    // default buffers a megabyte would cross in many small steps, each a wake-up of both ends.
    // The kernel caps the request at its own limit, and memory is used only as data waits.
    int size = 1024 * 1024;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

namespace {

bool makeAddress(const char* path, sockaddr_un* address) {
    size_t length = std::strlen(path);
    if (length >= sizeof address->sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path, length + 1);
    return true;
}

}  // namespace

// A non-blocking stream socket and the address of `path`; -1 on failure.
static int unixSocket(const char* path, sockaddr_un* address) {
    if (!makeAddress(path, address)) {
        return -1;
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd >= 0) {
        enlargeBuffers(fd);
    }
    return fd;
}

int connectUnix(const char* path) {
    sockaddr_un address;
    int fd = unixSocket(path, &address);
    if (fd < 0) {
        return -1;
    }
    int result;
    do {
        result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

int listenUnix(const char* path) {
    sockaddr_un address;
    int fd = unixSocket(path, &address);
    if (fd < 0) {
        return -1;
    }
    unlink(path);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0) {
        int saved = errno;
        close(fd);
        unlink(path);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace qiro::platform
