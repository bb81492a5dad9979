#include "tcp_to_bus/transfer.h"

#include <poll.h>
#include <sys/uio.h>

#include <cerrno>

namespace qiro {
namespace {

// Waits until the socket is ready for `events`; false (errno ETIMEDOUT) when `waitMs` passed.
bool waitReady(SOCKET socket, short events, int waitMs) {
    pollfd entry{socket, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, waitMs);
        if (ready > 0)
            return true;
        if (ready == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR)
            return false;
    }
}

// One step of a transfer: with a time limit the call must not block, and a socket that is not
// ready yet is waited for with poll. Returns the system call's result, or -1 after a wait failed.
template <typename Transfer>
ssize_t transferStep(SOCKET socket, short events, int waitMs, Transfer transfer) {
    for (;;) {
        const ssize_t moved = transfer(waitMs == kWaitForever ? 0 : MSG_DONTWAIT);
        if (moved >= 0)
            return moved;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        // A blocking call gives EAGAIN only when the socket's own time-out has passed.
        if (waitMs == kWaitForever) {
            errno = ETIMEDOUT;
            return -1;
        }
        if (!waitReady(socket, events, waitMs))
            return -1;
    }
}

// Moves a message's vector past `count` bytes that have been transferred.
void advance(msghdr& message, size_t count) {
    while (count > 0 && count >= message.msg_iov->iov_len) {
        count -= message.msg_iov->iov_len;
        ++message.msg_iov;
        --message.msg_iovlen;
    }
    if (count > 0) {
        message.msg_iov->iov_base = static_cast<uint8_t*>(message.msg_iov->iov_base) + count;
        message.msg_iov->iov_len -= count;
    }
}

int waitFor(const TransferLimits& limits, size_t moved) {
    return moved == 0 ? limits.firstByteMs : limits.stallMs;
}

}  // namespace

uint32_t sendAll(SOCKET socket, const void* bytes, uint32_t count, TransferLimits limits) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    uint32_t sent = 0;
    while (sent < count) {
        const ssize_t n = transferStep(socket, POLLOUT, waitFor(limits, sent), [&](int flags) {
            return send(socket, data + sent, count - sent, flags | MSG_NOSIGNAL);
        });
        if (n <= 0)
            break;
        sent += uint32_t(n);
    }
    return sent;
}

uint32_t recvAtLeast(SOCKET socket, void* buffer, uint32_t least, uint32_t most,
                     TransferLimits limits) {
    auto* data = static_cast<uint8_t*>(buffer);
    uint32_t received = 0;
    while (received < least) {
        const ssize_t n = transferStep(socket, POLLIN, waitFor(limits, received), [&](int flags) {
            return recv(socket, data + received, most - received, flags);
        });
        if (n <= 0)
            break;
        received += uint32_t(n);
    }
    return received;
}

uint32_t recvAll(SOCKET socket, void* buffer, uint32_t count, TransferLimits limits) {
    return recvAtLeast(socket, buffer, count, count, limits);
}

size_t recvReply(SOCKET socket, MessageHeader& header, uint8_t* body, uint32_t room,
                 TransferLimits limits) {
    iovec parts[2] = {{&header, kHeaderSize}, {body, room}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = room == 0 ? 1 : 2;
    size_t wanted = kHeaderSize + size_t(room);
    size_t received = 0;
    while (received < wanted) {
        const ssize_t n = transferStep(socket, POLLIN, waitFor(limits, received),
                                       [&](int flags) { return recvmsg(socket, &message, flags); });
        if (n <= 0)
            break;
        const bool headerDone = received < kHeaderSize && received + size_t(n) >= kHeaderSize;
        received += size_t(n);
        advance(message, size_t(n));
        if (headerDone) {
            // Now the body's length is known: take no more than it, and nothing when the header
            // announces no body that fits.
            const bool bodyFollows = header.magic == kReplyMagic && header.lengthOrStatus == 0 &&
                                     header.capacityOrLength <= room;
            const uint32_t length = bodyFollows ? header.capacityOrLength : 0;
            wanted = kHeaderSize + size_t(length);
            if (received < wanted)
                message.msg_iov->iov_len = wanted - received;
        }
    }
    return received;
}

size_t sendFrame(SOCKET socket, const MessageHeader& header, const uint8_t* body, uint32_t length,
                 TransferLimits limits) {
    iovec parts[2] = {{const_cast<MessageHeader*>(&header), kHeaderSize},
                      {const_cast<uint8_t*>(body), length}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = length == 0 ? 1 : 2;
    const size_t total = kHeaderSize + size_t(length);
    size_t sent = 0;
    while (sent < total) {
        const ssize_t n = transferStep(socket, POLLOUT, waitFor(limits, sent), [&](int flags) {
            return sendmsg(socket, &message, flags | MSG_NOSIGNAL);
        });
        if (n <= 0)
            break;
        sent += size_t(n);
        advance(message, size_t(n));
    }
    return sent;
}

}  // namespace qiro
