// qiro call: one bus call. Prints the status as number and name on the first line, then, after
// WrongType, the service's type ("type N"), and after Ok the reply: as text when it is printable
// (one trailing NUL, as descriptions carry, is not shown), else as hex bytes.
#include <cstdio>
#include <cstring>
#include <vector>

#include "bus/bus_instance.h"
#include "tools/qiro/command_line.h"
#include "tools/qiro/commands.h"

namespace qiro::tool {

namespace {

constexpr uint32_t kDefaultCode = 1;
constexpr uint32_t kDefaultCapacity = 65536;

std::vector<uint8_t> readAll(FILE* file) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

std::vector<uint8_t> requestBytes(const char* data) {
    if (data == nullptr) {
        return {};
    }
    if (std::strcmp(data, "-") == 0) {
        return readAll(stdin);
    }
    return std::vector<uint8_t>(data, data + std::strlen(data));
}

bool isPrintable(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        uint8_t c = bytes[i];
        if ((c < 0x20 || c > 0x7E) && c != '\n' && c != '\r' && c != '\t') {
            return false;
        }
    }
    return true;
}

void printReply(const uint8_t* reply, size_t length) {
    if (length == 0) {
        return;
    }
    size_t textLength = reply[length - 1] == 0 ? length - 1 : length;
    if (isPrintable(reply, textLength)) {
        std::fwrite(reply, 1, textLength, stdout);
        if (textLength == 0 || reply[textLength - 1] != '\n') {
            std::putchar('\n');
        }
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        std::printf(i == 0 ? "%02x" : " %02x", reply[i]);
    }
    std::putchar('\n');
}

void printOutcome(CallStatus status, uint32_t type, const uint8_t* reply, size_t replyLength) {
    const char* name = callStatusName(status);
    std::printf("status %u (%s)\n", uint32_t(status), name != nullptr ? name : "unnamed");
    if (status == CallStatus::WrongType) {
        std::printf("type %u\n", type);
    }
    if (status == CallStatus::Ok) {
        printReply(reply, replyLength);
    }
}

}  // namespace

int callCommand(int argc, char** argv) {
    Arguments arguments(argc, argv);
    uint32_t type = arguments.takeNumber("--type", 0);
    uint32_t code = arguments.takeNumber("--code", kDefaultCode);
    uint32_t timeout = arguments.takeNumber("--timeout", 0);
    uint32_t capacity = arguments.takeNumber("--capacity", kDefaultCapacity);
    std::optional<uint32_t> sid = parseNumber(arguments.takePositional());
    const char* data = arguments.takePositional();
    if (!sid || !arguments.finished()) {
        return kUsageError;
    }
    std::vector<uint8_t> request = requestBytes(data);
    std::vector<uint8_t> reply(capacity);
    BusInstance* instance = createInstance();
    if (instance == nullptr) {
        std::fprintf(stderr, "qiro: out of memory\n");
        return 1;
    }
    BufferPiece requestPiece{request.data(), uint32_t(request.size())};
    BufferPiece replyPiece{reply.data(), capacity};
    CallStatus status =
        instance->call(*sid, &type, code, &requestPiece, 1, &replyPiece, 1, timeout);
    delete instance;
    printOutcome(status, type, reply.data(), replyPiece.length);
    return status == CallStatus::Ok ? 0 : 1;
}

}  // namespace qiro::tool
