// The server's frame handling against a stand-in bus: what reaches the bus, what goes back, and
// which frames end the connection without a reply.
#include "tcp_to_bus/exchange.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "memory_channel.h"
#include "support/loopback.h"

namespace qiro {
namespace {

using testing::kStandInServiceType;
using testing::MemoryChannel;
using testing::StandInBus;

std::vector<uint8_t> frame(uint32_t magic, uint32_t sid, uint32_t type, uint32_t code,
                           uint32_t length, uint32_t capacity,
                           const std::vector<uint8_t>& body = {}) {
    return testing::frameBytes({magic, sid, type, code, length, capacity}, body);
}

std::vector<uint8_t> request(uint32_t code, uint32_t capacity,
                             const std::vector<uint8_t>& body = {}) {
    const auto length = uint32_t(body.size());
    return frame(kRequestMagic, 200, 42, code, length, capacity, body);
}

std::vector<uint8_t> firstBytes(std::vector<uint8_t> bytes, size_t count) {
    bytes.resize(count);
    return bytes;
}

std::vector<uint8_t> operator+(const std::vector<uint8_t>& first,
                               const std::vector<uint8_t>& second) {
    std::vector<uint8_t> joined(first.size() + second.size());
    std::copy(first.begin(), first.end(), joined.begin());
    std::copy(second.begin(), second.end(), joined.begin() + long(first.size()));
    return joined;
}

struct Replies {
    std::vector<MessageHeader> headers;
    std::vector<std::vector<uint8_t>> bodies;
};

class ExchangeTest : public ::testing::Test {
  protected:
    // Serves everything in `input` as one connection and splits what was sent into frames.
    Replies serve(const std::vector<uint8_t>& input, uint32_t limit = 0) {
        MemoryChannel channel(input.data(), input.size());
        serveConnection(channel, bus, limit);
        Replies replies;
        size_t position = 0;
        while (position + kHeaderSize <= channel.sent.size()) {
            MessageHeader header;
            std::memcpy(&header, channel.sent.data() + position, kHeaderSize);
            position += kHeaderSize;
            replies.headers.push_back(header);
            const auto* body = channel.sent.data() + position;
            replies.bodies.emplace_back(body, body + header.capacityOrLength);
            position += header.capacityOrLength;
        }
        EXPECT_EQ(position, channel.sent.size()) << "trailing bytes after the last reply";
        return replies;
    }

    StandInBus bus;
};

TEST_F(ExchangeTest, ReplyKeepsSidCodeAndTypeAndCarriesTheAnswer) {
    const Replies replies = serve(request(0, 16, {1, 2, 3, 4, 5}));
    ASSERT_EQ(replies.headers.size(), 1u);
    const MessageHeader& reply = replies.headers[0];
    EXPECT_EQ(reply.magic, kReplyMagic);
    EXPECT_EQ(reply.sid, 200u);
    EXPECT_EQ(reply.type, 42u);
    EXPECT_EQ(reply.code, 0u);
    EXPECT_EQ(reply.lengthOrStatus, 0u);
    EXPECT_EQ(replies.bodies[0], (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(bus.lastSid, 200u);
    EXPECT_EQ(bus.lastType, 42u);
    EXPECT_EQ(bus.lastTimeout, kServerCallTimeout);
    EXPECT_EQ(bus.lastRoom, 16u);
}

TEST_F(ExchangeTest, WrongTypeCarriesTheServiceTypeAndNoBodyAndTheConnectionGoesOn) {
    const Replies replies = serve(request(7, 64, {9, 9}) + request(0, 8, {1}));
    ASSERT_EQ(replies.headers.size(), 2u);
    EXPECT_EQ(replies.headers[0].lengthOrStatus, 7u);
    EXPECT_EQ(replies.headers[0].type, kStandInServiceType);
    EXPECT_EQ(replies.headers[0].capacityOrLength, 0u);
    EXPECT_EQ(replies.headers[1].lengthOrStatus, 0u);
    EXPECT_EQ(replies.bodies[1], std::vector<uint8_t>{1});
}

TEST_F(ExchangeTest, AnyNonZeroStatusTravelsWithoutBody) {
    for (uint32_t status : {1u, 2u, 6u, 1234567u}) {
        const Replies replies = serve(request(status, 100, {1, 2, 3}));
        ASSERT_EQ(replies.headers.size(), 1u) << status;
        EXPECT_EQ(replies.headers[0].lengthOrStatus, status);
        EXPECT_EQ(replies.headers[0].capacityOrLength, 0u);
    }
}

TEST_F(ExchangeTest, RequestsSentAheadAreAnsweredInOrder) {
    const Replies replies = serve(request(0, 4, {1}) + request(0, 4, {2, 2}) + request(5, 4));
    ASSERT_EQ(replies.headers.size(), 3u);
    EXPECT_EQ(replies.bodies[0], std::vector<uint8_t>{1});
    EXPECT_EQ(replies.bodies[1], (std::vector<uint8_t>{2, 2}));
    EXPECT_EQ(replies.headers[2].lengthOrStatus, 5u);
}

struct EndingCase {
    const char* name;
    std::vector<uint8_t> input;
    int callsBeforeTheEnd;
};

void PrintTo(const EndingCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class ConnectionEnding : public ExchangeTest, public ::testing::WithParamInterface<EndingCase> {};

// Each input ends with a frame that must end the connection with no reply and no bus call; only
// the valid frames before it are answered.
TEST_P(ConnectionEnding, MalformedFrameGetsNoReply) {
    const Replies replies = serve(GetParam().input);
    EXPECT_EQ(int(replies.headers.size()), GetParam().callsBeforeTheEnd);
    EXPECT_EQ(bus.calls, GetParam().callsBeforeTheEnd);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ConnectionEnding,
    ::testing::Values(
        EndingCase{"ReplyMagicFromClient", frame(kReplyMagic, 1, 0, 0, 0, 0), 0},
        EndingCase{"GarbageMagic", request(0, 4, {1}) + frame(0x41414141, 1, 0, 0, 0, 0), 1},
        EndingCase{"HeaderCutShort", firstBytes(request(0, 0), 23), 0},
        EndingCase{"HeaderCutShortAfterAValidCall",
                   request(0, 1, {1}) + firstBytes(request(0, 0), 5), 1},
        EndingCase{"BodyCutShort", frame(kRequestMagic, 1, 0, 0, 10, 0, {1, 2, 3}), 0},
        EndingCase{"BodyBeyondTheCeiling", frame(kRequestMagic, 1, 0, 0, 0xFFFFFFFFu, 0), 0},
        EndingCase{"FourGibibyteBodyAfterAValidCall",
                   request(0, 2, {7}) + frame(kRequestMagic, 1, 0, 0, 0xFFFFFFFFu, 16, {1, 2}), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, HeaderOnlyRequestGetsHeaderOnlyReplyWithNoRoom) {
    const Replies replies = serve(request(0, 0));
    ASSERT_EQ(replies.headers.size(), 1u);
    EXPECT_EQ(replies.headers[0].capacityOrLength, 0u);
    EXPECT_EQ(bus.lastRoom, 0u);
}

TEST_F(ExchangeTest, CapacityBeyondTheCeilingWithoutBodyIsServedWithNoRoom) {
    const Replies replies = serve(request(0, 0xFFFFFFFFu));
    ASSERT_EQ(replies.headers.size(), 1u);
    EXPECT_EQ(bus.lastRoom, 0u);
    EXPECT_EQ(replies.headers[0].lengthOrStatus, 0u);
}

TEST_F(ExchangeTest, CapacityBeyondTheCeilingWithBodyGetsTheBodyLengthAsRoom) {
    const Replies replies = serve(request(0, 0xFFFFFFFFu, {4, 5, 6}));
    ASSERT_EQ(replies.headers.size(), 1u);
    EXPECT_EQ(bus.lastRoom, 3u);
    EXPECT_EQ(replies.bodies[0], (std::vector<uint8_t>{4, 5, 6}));
}

TEST_F(ExchangeTest, RoomIsTheCapacityEvenWhenTheRequestIsLonger) {
    const Replies replies = serve(request(0, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_EQ(replies.headers.size(), 1u);
    EXPECT_EQ(bus.lastRoom, 4u);
    EXPECT_EQ(bus.lastRequest.size(), 10u);
    EXPECT_EQ(replies.bodies[0], (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(ExchangeTest, ReplyLongerThanTheRoomIsNeverSent) {
    const Replies replies = serve(request(100, 8, {1, 2}));
    ASSERT_EQ(replies.headers.size(), 1u);
    EXPECT_EQ(replies.headers[0].lengthOrStatus, uint32_t(CallStatus::ReplyTooLong));
    EXPECT_EQ(replies.headers[0].capacityOrLength, 0u);
}

TEST_F(ExchangeTest, BufferLimitDoesNotChangeWhatIsServed) {
    std::vector<uint8_t> big(3000, 0xAB);
    const Replies replies = serve(request(0, 3000, big) + request(0, 10, {1}), 1000);
    ASSERT_EQ(replies.headers.size(), 2u);
    EXPECT_EQ(replies.bodies[0], big);
    EXPECT_EQ(replies.bodies[1], std::vector<uint8_t>{1});
}

}  // namespace
}  // namespace qiro
