// The instance's hold on one sid: the DDE string handle of the sid's name and the cached
// conversation that calls to the sid use. One endpoint serves both the services of the sid and
// the calls to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bus/node_list.h"
#include "platform/ddeml.h"

namespace qiro {

class Endpoint : public ListNode {
  public:
    explicit Endpoint(uint32_t sid) : sid(sid) {}
    // Closes the conversation if one is open, then unlinks. Does not free `nameHandle`:
    // BusInstance::dropEndpoint does that before it destroys an endpoint.
    ~Endpoint() override;

    const uint32_t sid;
    HSZ nameHandle = nullptr;
    HCONV conversation = nullptr;
};

// The longest name: "QIRO", a blank, ten digits.
constexpr size_t kSidNameMax = 15;

// Writes the DDE name of `sid` ("QIRO", a blank, the sid in decimal) with its NUL into `name`.
void makeSidName(uint32_t sid, char (&name)[kSidNameMax + 1]);

}  // namespace qiro
