// The buffer policy of a connection: sticky growth and shrinking, the buffer limit after an
// exchange, and the ceiling that turns a giant request into a failed allocation.
#include "tcp_to_bus/connection_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace qiro {
namespace {

struct Step {
    uint32_t requestLength;
    uint32_t capacity;
    // Size while the request is served, and after the limit has acted.
    uint32_t sizeDuring;
    uint32_t sizeAfter;
};

struct PolicyCase {
    const char* name;
    uint32_t limit;
    std::vector<Step> steps;
};

void PrintTo(const PolicyCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class BufferPolicy : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(BufferPolicy, SizesFollowTheNeedAndTheLimit) {
    ConnectionBuffer buffer;
    for (const Step& step : GetParam().steps) {
        buffer.prepareFor(step.requestLength, step.capacity);
        EXPECT_EQ(buffer.size(), step.sizeDuring)
            << "need " << step.requestLength << "/" << step.capacity;
        EXPECT_EQ(buffer.data() != nullptr, step.sizeDuring != 0);
        buffer.trimToLimit(GetParam().limit);
        EXPECT_EQ(buffer.size(), step.sizeAfter)
            << "need " << step.requestLength << "/" << step.capacity;
        EXPECT_EQ(buffer.data() != nullptr, step.sizeAfter != 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BufferPolicy,
    ::testing::Values(
        PolicyCase{"LimitCutsBackOnlyBeyondTwiceIt",
                   1000,
                   {{1500, 0, 1500, 1500}, {0, 2002, 2002, 1000}, {1500, 100, 1500, 1500}}},
        PolicyCase{"TwiceTheLimitPlusOneStays", 1000, {{2001, 0, 2001, 2001}}},
        PolicyCase{"NegativeLimitNeverCuts", uint32_t(-1), {{5000, 9000, 9000, 9000}}},
        PolicyCase{"NoLimitNeverCuts", 0, {{0, 100000, 100000, 100000}}},
        PolicyCase{"EmptyRequestOnFreshConnectionHasNoBlock", 1000, {{0, 0, 0, 0}}},
        PolicyCase{"NineBytesStayForFour", 0, {{9, 0, 9, 9}, {4, 0, 9, 9}}},
        PolicyCase{"TenBytesAreReplacedForFour", 0, {{10, 0, 10, 10}, {0, 4, 4, 4}}},
        PolicyCase{"LargerNeedGrows", 0, {{10, 0, 10, 10}, {10, 11, 11, 11}}},
        PolicyCase{"NeedZeroAfterABlockFreesIt", 0, {{64, 64, 64, 64}, {0, 0, 0, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BufferCeiling, CapacityBeyondItIsServedWithNoRoomWhenThereIsNoBody) {
    ConnectionBuffer buffer;
    buffer.prepareFor(0, 0xFFFFFFFFu);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.data(), nullptr);
}

TEST(BufferCeiling, BodyBeyondItCannotBeServed) {
    ConnectionBuffer buffer;
    buffer.prepareFor(kMaxBufferSize + 1, 0);
    EXPECT_EQ(buffer.size(), 0u);
}

TEST(BufferCeiling, BodyWithGiantCapacityFallsBackToTheBodyLength) {
    ConnectionBuffer buffer;
    buffer.prepareFor(100, 0xFFFFFFFFu);
    EXPECT_EQ(buffer.size(), 100u);
    ASSERT_NE(buffer.data(), nullptr);
}

TEST(BufferCeiling, TheCeilingItselfCanBeHad) {
    ConnectionBuffer buffer;
    buffer.prepareFor(kMaxBufferSize, 0);
    EXPECT_EQ(buffer.size(), kMaxBufferSize);
}

}  // namespace
}  // namespace qiro
