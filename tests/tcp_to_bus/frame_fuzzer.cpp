// Fuzz target for the server's frame handling: any byte string as what arrives on one
// connection, served against a stand-in bus. Every reply must be a well-formed reply frame that
// sends no more than the request's capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "memory_channel.h"
#include "tcp_to_bus/exchange.h"

namespace {

void checkReplies(const std::vector<uint8_t>& sent) {
    size_t position = 0;
    while (position < sent.size()) {
        qiro::MessageHeader header;
        if (sent.size() - position < sizeof header)
            std::abort();
        std::memcpy(&header, sent.data() + position, sizeof header);
        if (header.magic != qiro::kReplyMagic)
            std::abort();
        if (header.lengthOrStatus != 0 && header.capacityOrLength != 0)
            std::abort();
        position += sizeof header + header.capacityOrLength;
    }
    if (position != sent.size())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qiro::testing::MemoryChannel channel(data, size);
    qiro::testing::StandInBus bus;
    // A small limit exercises the cutting back between exchanges; a ceiling of 1 MiB instead of
    // 64 MiB takes the ceiling's paths as well and keeps each run fast.
    qiro::serveConnection(channel, bus, 64, 1u << 20);
    checkReplies(channel.sent);
    if (channel.replies != bus.calls)
        std::abort();
    return 0;
}
