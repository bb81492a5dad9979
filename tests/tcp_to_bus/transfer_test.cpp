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

}  // namespace
}  // namespace qiro
