// The transfer loops of the gateway exchange, shared by both gateways.
//
// Each works on a connected, blocking stream socket and returns the number of bytes moved; a
// transfer has succeeded only when that is the whole count. A short count means the peer closed
// its side, the connection failed, or a time limit passed (errno is then ETIMEDOUT; that
// includes the receive and send time-outs of the socket itself).
// Writes never raise SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bus/message_header.h"
#include "platform/win32_sockets.h"

namespace qiro {

constexpr int kWaitForever = -1;

// How long a transfer may wait, in milliseconds, or kWaitForever. `firstByteMs` bounds the wait
// before anything has moved; `stallMs` bounds each later wait for progress, so a slow but
// steady peer is never cut off.
struct TransferLimits {
    int firstByteMs = kWaitForever;
    int stallMs = kWaitForever;
};

// Sends `count` bytes, calling send again for the rest until all are out or send fails.
uint32_t sendAll(SOCKET socket, const void* bytes, uint32_t count, TransferLimits limits = {});

// Receives `count` bytes, calling recv for the rest until all have arrived, the peer has closed
// its side, or recv fails. A count of 0 returns 0 at once.
uint32_t recvAll(SOCKET socket, void* buffer, uint32_t count, TransferLimits limits = {});

// Receives at least `least` and at most `most` bytes, as far as they are there: for reading
// ahead of a frame. Returns the bytes received; fewer than `least` is a failure as for recvAll.
uint32_t recvAtLeast(SOCKET socket, void* buffer, uint32_t least, uint32_t most,
                     TransferLimits limits = {});

// Receives a reply frame: the header and, for a reply with the reply magic and status Ok whose
// body fits into `room`, the body, with scattered reads, so a small reply takes one system call.
// Otherwise it stops after the header. The server sends nothing after a reply until it gets the
// next request, so reading ahead takes nothing of a later frame. Returns the bytes received,
// header included.
size_t recvReply(SOCKET socket, MessageHeader& header, uint8_t* body, uint32_t room,
                 TransferLimits limits = {});

// Sends a header and its body with gathered writes: one system call, and so one TCP segment for
// a small frame, where sendAll twice would take two. Returns the bytes sent, header included.
size_t sendFrame(SOCKET socket, const MessageHeader& header, const uint8_t* body, uint32_t length,
                 TransferLimits limits = {});

}  // namespace qiro
