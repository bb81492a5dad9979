#include "bus/endpoint.h"

#include <cstdio>

namespace qiro {

Endpoint::~Endpoint() {
    if (conversation != nullptr) {
        DdeDisconnect(conversation);
        conversation = nullptr;
    }
}

void makeSidName(uint32_t sid, char (&name)[kSidNameMax + 1]) {
    std::snprintf(name, sizeof name, "%s %lu", "QIRO", static_cast<unsigned long>(sid));
}

}  // namespace qiro
