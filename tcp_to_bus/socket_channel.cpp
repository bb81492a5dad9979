#include "tcp_to_bus/socket_channel.h"

#include <algorithm>
#include <cstring>

#include "tcp_to_bus/transfer.h"

namespace qiro {

uint32_t SocketChannel::takeStaged(void* destination, uint32_t count) {
    const uint32_t taken = std::min(count, stagedEnd_ - stagedBegin_);
    if (taken == 0)
        return 0;
    std::memcpy(destination, staged_ + stagedBegin_, taken);
    stagedBegin_ += taken;
    return taken;
}

bool SocketChannel::receiveHeader(MessageHeader& header) {
    const uint32_t staged = stagedEnd_ - stagedBegin_;
    if (staged < kHeaderSize) {
        std::memmove(staged_, staged_ + stagedBegin_, staged);
        stagedBegin_ = 0;
        // Idle between frames for as long as the peer likes; once a frame has begun, bounded.
        const TransferLimits limits{staged == 0 ? kWaitForever : stallMs_, stallMs_};
        stagedEnd_ = staged + recvAtLeast(socket_, staged_ + staged, kHeaderSize - staged,
                                          kReadAhead - staged, limits);
        if (stagedEnd_ < kHeaderSize)
            return false;
    }
    takeStaged(&header, kHeaderSize);
    return true;
}

bool SocketChannel::receiveBody(uint8_t* body, uint32_t length) {
    const uint32_t taken = takeStaged(body, length);
    const uint32_t rest = length - taken;
    return recvAll(socket_, body + taken, rest, {stallMs_, stallMs_}) == rest;
}

bool SocketChannel::sendReply(const MessageHeader& header, const uint8_t* body, uint32_t length) {
    return sendFrame(socket_, header, body, length, {stallMs_, stallMs_}) ==
           kHeaderSize + size_t(length);
}

}  // namespace qiro
