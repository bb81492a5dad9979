#include "bus_to_tcp/tcp_forward_service.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tcp_to_bus/gateway_socket.h"
#include "tcp_to_bus/transfer.h"

namespace qiro {

TcpForwardService::TcpForwardService(uint32_t sid, uint32_t type, const char* host,
                                     uint32_t remoteSid, ForwardLimits limits)
    : Service(sid), host(strdup(host)), type(type), remoteSid(remoteSid), limits_(limits) {}

TcpForwardService::~TcpForwardService() {
    closeConnection();
    free(host);
}

uint32_t TcpForwardService::getType() {
    return type;
}

void TcpForwardService::closeConnection() {
    if (socket == INVALID_SOCKET)
        return;
    closesocket(socket);
    socket = INVALID_SOCKET;
}

CallStatus TcpForwardService::fail(CallStatus status) {
    closeConnection();
    return status;
}

CallStatus TcpForwardService::failShortReply() {
    return fail(errno == ETIMEDOUT ? CallStatus::Timeout : CallStatus::NoService);
}

bool TcpForwardService::reconnect() {
    closeConnection();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(gatewayPort());
    if (host == nullptr || !resolveHost(host, &address.sin_addr))
        return false;
    const SOCKET fresh = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fresh == INVALID_SOCKET)
        return false;
    socket = fresh;
    setNoDelay(socket);
    setTransferTimeouts(socket, limits_.replyMs);
    if (connectWithin(socket, address, limits_.connectMs) == SOCKET_ERROR) {
        closeConnection();
        return false;
    }
    return true;
}

CallStatus TcpForwardService::handleRequest(uint32_t code, uint8_t* data, uint32_t length,
                                            uint8_t* reply, uint32_t* replyLength) {
    if (socket == INVALID_SOCKET && !reconnect())
        return CallStatus::NoService;
    const uint32_t capacity = *replyLength;
    header = {kRequestMagic, remoteSid, type, code, length, capacity};
    const size_t sent = sendFrame(socket, header, data, length);
    if (sent < kHeaderSize)
        return fail(CallStatus::NoService);
    if (sent < kHeaderSize + size_t(length))
        return fail(CallStatus::ReplyTooLong);

    // The reply body goes straight into the caller's reply area, which is ours to fill.
    const size_t received = recvReply(socket, header, reply, capacity);
    if (received < kHeaderSize)
        return failShortReply();
    if (header.magic != kReplyMagic)
        return fail(CallStatus::NoService);
    const auto status = CallStatus(header.lengthOrStatus);
    if (status == CallStatus::NoService)
        return fail(status);
    if (status != CallStatus::Ok)
        return status;
    if (header.capacityOrLength > capacity)
        return fail(CallStatus::ReplyTooLong);
    if (received < kHeaderSize + size_t(header.capacityOrLength))
        return failShortReply();
    *replyLength = header.capacityOrLength;
    return CallStatus::Ok;
}

}  // namespace qiro
