// The record that starts every bus data item and every gateway frame, and the result codes of a
// bus call.
//
// A request header is turned into the reply header in place: the magic becomes "QirR", the
// request length field takes the status and the capacity field takes the reply length. sid and
// code come back as sent; the type comes back as sent except with WrongType, where it holds the
// service's own type. All fields are 32-bit little-endian; the magic is four ASCII letters in
// reading order, handled as one 4-byte unit.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

namespace qiro {

static_assert(std::endian::native == std::endian::little,
              "the header's fields are stored in the machine's own little-endian order");

// The result of a bus call. A service may return any other 32-bit value; it reaches the caller
// unchanged (through static_cast) and counts as a failure.
enum class CallStatus : uint32_t {
    Ok = 0,
    NoService = 1,
    UnknownCode = 2,
    BadRequest = 3,
    ReplyTooLong = 4,
    BusError = 5,
    Timeout = 6,
    WrongType = 7,
};

// "Ok", "NoService", ... for the eight named statuses; null for any other value.
const char* callStatusName(CallStatus status);

// Four letters in reading order read as one little-endian 32-bit value.
constexpr uint32_t magicFromLetters(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t kRequestMagic = magicFromLetters('Q', 'i', 'r', 'C');
constexpr uint32_t kReplyMagic = magicFromLetters('Q', 'i', 'r', 'R');

struct MessageHeader {
    uint32_t magic;
    uint32_t sid;
    // The type that the caller expects; with WrongType in a reply, the service's own type.
    uint32_t type;
    uint32_t code;
    // Request: bytes of request data behind the header. Reply: the CallStatus.
    uint32_t lengthOrStatus;
    // Request: the most reply bytes the caller takes. Reply: bytes of reply data behind the
    // header, always 0 when the status is not Ok.
    uint32_t capacityOrLength;
};

static_assert(sizeof(MessageHeader) == 24, "six 4-byte fields, no gaps");
static_assert(std::is_standard_layout_v<MessageHeader>);
static_assert(std::is_trivially_copyable_v<MessageHeader>);

constexpr uint32_t kHeaderSize = sizeof(MessageHeader);

}  // namespace qiro
