#include "bus/service.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qiro {
namespace {

class DescribedService : public Service {
  public:
    DescribedService(uint32_t sid, const char* description)
        : Service(sid), description(description) {}
    const char* getDescription() override { return description; }
    const char* description;
};

struct DescriptionCase {
    const char* description;
    uint32_t room;
    CallStatus status;
    uint32_t replyLength;
    // The reply bytes, NUL included; only looked at when the reply length is not 0.
    const char* reply;
};

class DescriptionAnswerTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionAnswerTest, CutsToTheRoomAndEndsWithANul) {
    const DescriptionCase& c = GetParam();
    DescribedService service(5, c.description);
    unsigned char area[32];
    std::memset(area, 0xEE, sizeof area);
    uint32_t replyLength = c.room;
    EXPECT_EQ(service.handleRequest(0, area, 0, area, &replyLength), c.status);
    EXPECT_EQ(replyLength, c.replyLength);
    if (c.replyLength > 0) {
        EXPECT_EQ(std::memcmp(area, c.reply, c.replyLength), 0);
    }
    EXPECT_EQ(area[c.replyLength], 0xEE) << "nothing written past the reply";
}

INSTANTIATE_TEST_SUITE_P(
    Rooms, DescriptionAnswerTest,
    ::testing::Values(DescriptionCase{"abc", 10, CallStatus::Ok, 4, "abc"},
                      DescriptionCase{"abc", 4, CallStatus::Ok, 4, "abc"},
                      DescriptionCase{"abc", 3, CallStatus::Ok, 3, "ab"},
                      DescriptionCase{"abc", 1, CallStatus::Ok, 1, ""},
                      DescriptionCase{"abc", 0, CallStatus::ReplyTooLong, 0, ""},
                      DescriptionCase{"", 5, CallStatus::Ok, 1, ""},
                      DescriptionCase{nullptr, 10, CallStatus::Ok, 0, ""},
                      DescriptionCase{nullptr, 0, CallStatus::ReplyTooLong, 0, ""}));

TEST(ServiceTest, BaseAnswerRefusesEveryOtherCodeWithoutWriting) {
    DescribedService service(5, "abc");
    unsigned char area[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (uint32_t code : {1u, 5u, 0xFFFFFFFFu}) {
        uint32_t replyLength = 8;
        EXPECT_EQ(service.handleRequest(code, area, 8, area, &replyLength),
                  CallStatus::UnknownCode);
        EXPECT_EQ(replyLength, 8u);
    }
    const unsigned char untouched[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(std::memcmp(area, untouched, 8), 0);
}

TEST(ServiceTest, BaseClassHasTypeZeroAndNoDescription) {
    Service service(0xFFFFFFFF);
    EXPECT_EQ(service.sid, 0xFFFFFFFFu);
    EXPECT_EQ(service.getType(), 0u);
    EXPECT_EQ(service.getDescription(), nullptr);
    EXPECT_EQ(service.owner, nullptr);
}

}  // namespace
}  // namespace qiro
