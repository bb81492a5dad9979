// The transfer loops on a connected stream pair: frames split down to single bytes, frames cut
// short, stalls that pass the time limit, gathered writes and writes to a closed peer.
#include "tcp_to_bus/transfer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace qiro {
namespace {

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends_), 0); }
    void TearDown() override {
        closeWriter();
        close(ends_[0]);
    }
    void closeWriter() {
        if (ends_[1] >= 0)
            close(ends_[1]);
        ends_[1] = -1;
    }
    int reader() const { return ends_[0]; }
    int writer() const { return ends_[1]; }

    int ends_[2] = {-1, -1};
};

std::vector<uint8_t> counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), uint8_t(1));
    return bytes;
}

TEST_F(TransferTest, ByteByByteArrivalIsReadWhole) {
    const std::vector<uint8_t> sent = counting(64);
    std::thread trickle([&] {
        for (uint8_t byte : sent) {
            ASSERT_EQ(write(writer(), &byte, 1), 1);
            std::this_thread::yield();
        }
    });
    std::vector<uint8_t> received(sent.size());
    EXPECT_EQ(recvAll(reader(), received.data(), uint32_t(received.size()), {kWaitForever, 5000}),
              sent.size());
    trickle.join();
    EXPECT_EQ(received, sent);
}

TEST_F(TransferTest, PeerClosingMidwayGivesTheShortCount) {
    const std::vector<uint8_t> sent = counting(10);
    ASSERT_EQ(write(writer(), sent.data(), sent.size()), 10);
    closeWriter();
    std::vector<uint8_t> received(24);
    EXPECT_EQ(recvAll(reader(), received.data(), 24), 10u);
}

TEST_F(TransferTest, ZeroCountReturnsAtOnce) {
    EXPECT_EQ(recvAll(reader(), nullptr, 0), 0u);
    EXPECT_EQ(sendAll(writer(), nullptr, 0), 0u);
}

TEST_F(TransferTest, StallAfterTheFirstBytesEndsWithTimedOut) {
    ASSERT_EQ(write(writer(), "abcde", 5), 5);
    uint8_t received[24];
    errno = 0;
    EXPECT_EQ(recvAll(reader(), received, 24, {kWaitForever, 200}), 5u);
    EXPECT_EQ(errno, ETIMEDOUT);
}

TEST_F(TransferTest, FirstByteLimitBoundsAnIdleWait) {
    uint8_t received[24];
    errno = 0;
    EXPECT_EQ(recvAll(reader(), received, 24, {200, kWaitForever}), 0u);
    EXPECT_EQ(errno, ETIMEDOUT);
}

TEST_F(TransferTest, SlowButSteadyPeerIsNotCutOff) {
    const std::vector<uint8_t> sent = counting(6);
    std::thread slow([&] {
        for (uint8_t byte : sent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            ASSERT_EQ(write(writer(), &byte, 1), 1);
        }
    });
    std::vector<uint8_t> received(sent.size());
    // 360 ms in all, but never more than 60 ms without progress.
    EXPECT_EQ(recvAll(reader(), received.data(), 6, {kWaitForever, 250}), 6u);
    slow.join();
    EXPECT_EQ(received, sent);
}

TEST_F(TransferTest, FrameGoesOutAsHeaderThenBody) {
    const MessageHeader header{kReplyMagic, 1, 2, 3, 0, 5};
    const std::vector<uint8_t> body = counting(5);
    EXPECT_EQ(sendFrame(writer(), header, body.data(), 5), 29u);
    uint8_t received[29];
    ASSERT_EQ(recvAll(reader(), received, 29), 29u);
    EXPECT_EQ(std::memcmp(received, "QirR\x01\0\0\0\x02\0\0\0\x03\0\0\0\0\0\0\0\x05\0\0\0", 24), 0);
    EXPECT_EQ(std::memcmp(received + 24, body.data(), 5), 0);
}

TEST_F(TransferTest, LargeFrameIsSentWholeAcrossManyPartialWrites) {
    const MessageHeader header{kRequestMagic, 9, 0, 0, 4 << 20, 0};
    const std::vector<uint8_t> body = counting(4 << 20);
    std::vector<uint8_t> received(24 + body.size());
    std::thread drain([&] { recvAll(reader(), received.data(), uint32_t(received.size())); });
    EXPECT_EQ(sendFrame(writer(), header, body.data(), uint32_t(body.size())), received.size());
    drain.join();
    EXPECT_EQ(std::memcmp(received.data(), &header, 24), 0);
    EXPECT_EQ(std::memcmp(received.data() + 24, body.data(), body.size()), 0);
}

TEST_F(TransferTest, WritingToAClosedPeerFailsWithoutKillingTheProcess) {
    close(ends_[0]);
    ends_[0] = socket(AF_UNIX, SOCK_STREAM, 0);
    const std::vector<uint8_t> body = counting(100);
    EXPECT_LT(sendAll(writer(), body.data(), 100), 100u);
    EXPECT_LT(sendFrame(writer(), MessageHeader{}, body.data(), 100), 124u);
}

TEST_F(TransferTest, SendToAPeerThatStopsReadingTimesOut) {
    const std::vector<uint8_t> body = counting(16 << 20);
    errno = 0;
    EXPECT_LT(sendAll(writer(), body.data(), uint32_t(body.size()), {200, 200}), body.size());
    EXPECT_EQ(errno, ETIMEDOUT);
}

struct ReplyCase {
    const char* name;
    MessageHeader header;
    size_t bodySent;
    uint32_t room;
    // What recvReply must return.
    size_t received;
    // Whether the writer closes after sending; otherwise it stays silent, and a wait for bytes
    // that will never come ends in the reader's time-out.
    bool writerCloses = false;
};

void PrintTo(const ReplyCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class RecvReply : public TransferTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(RecvReply, TakesTheBodyOnlyWhenAnnouncedAndFitting) {
    const ReplyCase& c = GetParam();
    std::vector<uint8_t> frame(24 + c.bodySent);
    std::memcpy(frame.data(), &c.header, 24);
    std::iota(frame.begin() + 24, frame.end(), uint8_t(1));
    std::thread trickle([&] {
        for (uint8_t byte : frame)
            ASSERT_EQ(write(writer(), &byte, 1), 1);
        if (c.writerCloses)
            closeWriter();
    });
    const timeval timeout{3, 0};
    ASSERT_EQ(setsockopt(reader(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout), 0);
    MessageHeader header{};
    std::vector<uint8_t> body(c.room + 8, 0xEE);
    errno = 0;
    EXPECT_EQ(recvReply(reader(), header, body.data(), c.room), c.received);
    EXPECT_NE(errno, ETIMEDOUT) << "waited for bytes that were never announced";
    trickle.join();
    EXPECT_EQ(std::memcmp(&header, &c.header, 24), 0);
    const size_t bodyTaken = c.received > 24 ? c.received - 24 : 0;
    for (size_t i = 0; i < bodyTaken; ++i)
        ASSERT_EQ(body[i], uint8_t(i + 1));
    EXPECT_EQ(body[c.room], 0xEE) << "nothing written beyond the room";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RecvReply,
    ::testing::Values(
        ReplyCase{"BodyThatFits", {kReplyMagic, 1, 0, 1, 0, 30}, 30, 64, 54},
        ReplyCase{"BodyFillingTheRoom", {kReplyMagic, 1, 0, 1, 0, 64}, 64, 64, 88},
        ReplyCase{"StatusWithoutBody", {kReplyMagic, 1, 0, 1, 2, 0}, 0, 64, 24},
        ReplyCase{"BodyTooLongIsNotWaitedFor", {kReplyMagic, 1, 0, 1, 0, 65}, 0, 64, 24},
        ReplyCase{"WrongMagicIsNotWaitedFor", {kRequestMagic, 1, 0, 1, 0, 8}, 0, 64, 24},
        ReplyCase{"BodyCutShort", {kReplyMagic, 1, 0, 1, 0, 40}, 25, 64, 49, true},
        ReplyCase{"OkWithEmptyBody", {kReplyMagic, 1, 0, 1, 0, 0}, 0, 64, 24}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferTest, SocketTimeOutIsReportedAsTimedOut) {
    const timeval timeout{0, 200000};
    ASSERT_EQ(setsockopt(reader(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout), 0);
    MessageHeader header{};
    errno = 0;
    EXPECT_EQ(recvReply(reader(), header, nullptr, 0), 0u);
    EXPECT_EQ(errno, ETIMEDOUT);
}

}  // namespace
}  // namespace qiro
