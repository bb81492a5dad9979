// The serving side's unit: a program derives a class from Service, gives it a sid and hands it
// to its thread's BusInstance with `addService`, which then owns it.
//
// Requests reach a service on the thread that owns its instance, one at a time, while that
// thread runs its message loop; a service needs no lock of its own against the bus.
#pragma once

#include <cstdint>

#include "bus/message_header.h"
#include "bus/node_list.h"

namespace qiro {

class Service : public ListNode {
  public:
    explicit Service(uint32_t sid);
    // Takes the service out of its instance first (which unregisters its name), then destroys it.
    ~Service() override;

    // Answers one request. `data` holds `length` request bytes; `reply` is the same address, so
    // read the request before writing the reply. `*replyLength` holds the room on entry and
    // must hold the bytes written on return. Returns Ok, another CallStatus, or any other value,
    // which reaches the caller unchanged.
    // Base class: code 0 answers with the description (replyWithDescription), any other code
    // gives UnknownCode.
    virtual CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                                     uint32_t* replyLength);
    // No caller in the bus; the base class does nothing.
    virtual void notify(uint32_t first, uint32_t second);
    // The type that callers must present; base class: 0.
    virtual uint32_t getType();
    // A NUL-terminated text that describes the service, or null; base class: null. Called up to
    // three times per answer, so it must give the same text each time.
    virtual const char* getDescription();

    // Writes the description, cut to the room and always NUL-terminated, with the NUL counted in
    // *replyLength. No room: ReplyTooLong with *replyLength unchanged. No description: Ok with
    // *replyLength 0. `data` and `length` are ignored.
    CallStatus replyWithDescription(uint8_t* data, uint32_t length, uint8_t* reply,
                                    uint32_t* replyLength);

    const uint32_t sid;
};

}  // namespace qiro
