#include "tcp_to_bus/exchange.h"

namespace qiro {
namespace {

// Turns the request header into the reply header: only magic, type, status and reply length
// change, so sid and code go back as they came.
void makeReplyHeader(MessageHeader& header, const ServiceProxy& proxy, uint32_t replyLength) {
    header.magic = kReplyMagic;
    header.type = proxy.replyType;
    header.lengthOrStatus = uint32_t(proxy.status);
    header.capacityOrLength = proxy.status == CallStatus::Ok ? replyLength : 0;
}

}  // namespace

bool serveExchange(FrameChannel& channel, CallTarget& bus, ConnectionBuffer& buffer,
                   uint32_t bufferLimit, MessageHeader& header) {
    if (!channel.receiveHeader(header) || header.magic != kRequestMagic)
        return false;
    const uint32_t requestLength = header.lengthOrStatus;
    buffer.prepareFor(requestLength, header.capacityOrLength);
    if (buffer.size() == 0 && requestLength != 0)
        return false;
    if (!channel.receiveBody(buffer.data(), requestLength))
        return false;
    if (buffer.size() < header.capacityOrLength)
        header.capacityOrLength = buffer.size();
    const uint32_t capacity = header.capacityOrLength;

    ServiceProxy proxy(bus, header.sid, kServerCallTimeout, header.type);
    proxy.replyType = proxy.getType();
    // One buffer serves both ways: the call takes all of the request before it writes the reply.
    BufferPiece request{buffer.data(), requestLength};
    BufferPiece reply{buffer.data(), capacity};
    proxy.status = proxy.instance.call(proxy.sid, &proxy.replyType, header.code, &request, 1,
                                       &reply, 1, proxy.timeout);
    // The bus never reports more than the room it was given; should it, the bytes beyond would
    // not be ours to send.
    if (proxy.status == CallStatus::Ok && reply.length > capacity)
        proxy.status = CallStatus::ReplyTooLong;

    makeReplyHeader(header, proxy, reply.length);
    if (!channel.sendReply(header, buffer.data(), header.capacityOrLength))
        return false;
    buffer.trimToLimit(bufferLimit);
    return true;
}

void serveConnection(FrameChannel& channel, CallTarget& bus, uint32_t bufferLimit,
                     uint32_t bufferCeiling) {
    MessageHeader header{};
    ConnectionBuffer buffer(bufferCeiling);
    while (serveExchange(channel, bus, buffer, bufferLimit, header)) {
    }
}

}  // namespace qiro
