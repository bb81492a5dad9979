#include "bus/service.h"

#include <cstring>

namespace qiro {

Service::Service(uint32_t sid) : sid(sid) {}

// Unlinks here rather than in the ListNode destructor so that the instance's removeService
// still sees a Service, with its sid, and can unregister the sid's name.
Service::~Service() {
    unlink();
}

CallStatus Service::handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                                  uint32_t* replyLength) {
    if (code == 0) {
        return replyWithDescription(data, length, reply, replyLength);
    }
    return CallStatus::UnknownCode;
}

void Service::notify(uint32_t, uint32_t) {}

uint32_t Service::getType() {
    return 0;
}

const char* Service::getDescription() {
    return nullptr;
}

CallStatus Service::replyWithDescription(uint8_t*, uint32_t, uint8_t* reply,
                                         uint32_t* replyLength) {
    if (*replyLength == 0) {
        return CallStatus::ReplyTooLong;
    }
    if (getDescription() == nullptr) {
        *replyLength = 0;
        return CallStatus::Ok;
    }
    // The terminating NUL counts; a text longer than the room is cut so that the NUL fits.
    size_t n = std::strlen(getDescription()) + 1;
    if (n > *replyLength) {
        n = *replyLength;
    }
    std::memcpy(reply, getDescription(), n - 1);
    reply[n - 1] = 0;
    *replyLength = uint32_t(n);
    return CallStatus::Ok;
}

}  // namespace qiro
