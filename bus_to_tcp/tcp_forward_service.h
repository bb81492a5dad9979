// The service that dqirotcp offers on its local bus: it forwards every request it gets to the
// dtcpqiro of a remote host, addressed there to the remote sid, and answers with the status and
// the reply that come back.
//
// It owns one TCP connection, opened by the first request, kept between requests, closed after
// any failure of an exchange and after a reply with NoService, and opened again by the next
// request. A failed request is not sent again. It runs on the thread of its BusInstance's
// message loop, one request at a time, and blocks that thread for the whole exchange; every
// wait of an exchange is bounded (see ForwardLimits), so a silent peer cannot hold it for ever.
#pragma once

#include <cstdint>

#include "bus/message_header.h"
#include "bus/service.h"
#include "platform/win32_sockets.h"

namespace qiro {

struct ForwardLimits {
    // A connection attempt gives up after this long (NoService).
    int connectMs = 5000;
    // The reply must begin within this long, and no later wait of the exchange may stall longer;
    // above the remote bus call's own 30 s default, so a slow service is still heard. A time-out
    // gives Timeout and closes the connection, so a late reply is never taken for the next
    // request's.
    int replyMs = 35000;
};

class TcpForwardService : public Service {
  public:
    // Copies `host`; nothing is resolved or connected yet.
    TcpForwardService(uint32_t sid, uint32_t type, const char* host, uint32_t remoteSid,
                      ForwardLimits limits = {});
    // Closes the connection and frees the host copy; the Service part then leaves its instance.
    ~TcpForwardService() override;

    // Sends the request to the remote gateway and returns its status; on Ok the reply is in
    // `reply` and its length in `*replyLength`. The request goes out whole before any reply byte
    // is written, so `data` and `reply` may be the same memory. Every request carries this
    // service's own type in its type field. Code 0 is forwarded like any other.
    CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                             uint32_t* replyLength) override;
    uint32_t getType() override;

    // Drops any connection and makes a new one; true when connected.
    bool reconnect();
    bool connected() const { return socket != INVALID_SOCKET; }

    // The service's copy of the host name; null when no memory could be had for it.
    char* host;
    // The connection to the remote gateway; INVALID_SOCKET while there is none (descriptor 0 is
    // a valid socket here, unlike on Windows).
    SOCKET socket = INVALID_SOCKET;
    uint32_t type;
    uint32_t remoteSid;
    // The record in which each request header is built and the reply header then read.
    MessageHeader header{};

  private:
    void closeConnection();
    // Closes the connection and gives `status`.
    CallStatus fail(CallStatus status);
    // The status for a reply that did not arrive whole: Timeout when the wait ran out,
    // NoService when the connection broke.
    CallStatus failShortReply();

    ForwardLimits limits_;
};

}  // namespace qiro
