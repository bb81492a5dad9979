#include "bus/message_header.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace qiro {
namespace {

TEST(MessageHeaderTest, FieldsLieAtTheirOffsetsInLittleEndianOrder) {
    EXPECT_EQ(offsetof(MessageHeader, magic), 0u);
    EXPECT_EQ(offsetof(MessageHeader, sid), 4u);
    EXPECT_EQ(offsetof(MessageHeader, type), 8u);
    EXPECT_EQ(offsetof(MessageHeader, code), 12u);
    EXPECT_EQ(offsetof(MessageHeader, lengthOrStatus), 16u);
    EXPECT_EQ(offsetof(MessageHeader, capacityOrLength), 20u);

    MessageHeader header{kRequestMagic, 1, 0x01020304, 0xA0B0C0D0, 10, 0xFFFFFFFF};
    unsigned char bytes[24];
    std::memcpy(bytes, &header, sizeof bytes);
    const unsigned char expected[24] = {'Q',  'i',  'r',  'C',  0x01, 0x00, 0x00, 0x00,
                                        0x04, 0x03, 0x02, 0x01, 0xD0, 0xC0, 0xB0, 0xA0,
                                        0x0A, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

TEST(MessageHeaderTest, ReplyMagicIsTheLettersQirR) {
    uint32_t magic = kReplyMagic;
    EXPECT_EQ(std::memcmp(&magic, "QirR", 4), 0);
    EXPECT_NE(kReplyMagic, kRequestMagic);
}

TEST(MessageHeaderTest, StatusNamesCoverTheEightStatusesOnly) {
    const char* names[] = {"Ok",           "NoService", "UnknownCode", "BadRequest",
                           "ReplyTooLong", "BusError",  "Timeout",     "WrongType"};
    for (uint32_t value = 0; value < 8; ++value) {
        ASSERT_NE(callStatusName(CallStatus(value)), nullptr) << value;
        EXPECT_STREQ(callStatusName(CallStatus(value)), names[value]);
    }
    EXPECT_EQ(callStatusName(CallStatus(8)), nullptr);
    EXPECT_EQ(callStatusName(CallStatus(0xFFFFFFFF)), nullptr);
}

}  // namespace
}  // namespace qiro
