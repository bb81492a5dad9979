// The server's socket channel: frames read whole whatever the segmentation, frames sent ahead
// handed out one by one from what was read ahead, and stalls inside a frame bounded.
#include "tcp_to_bus/socket_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace qiro {
namespace {

class SocketChannelTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends_), 0); }
    void TearDown() override {
        close(ends_[0]);
        close(ends_[1]);
    }
    void send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(ends_[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Reads one frame through the channel and checks it against what was sent.
    void expectFrame(SocketChannel& channel, const MessageHeader& sent,
                     const std::vector<uint8_t>& body) {
        MessageHeader header{};
        ASSERT_TRUE(channel.receiveHeader(header));
        EXPECT_EQ(std::memcmp(&header, &sent, sizeof header), 0);
        std::vector<uint8_t> received(header.lengthOrStatus);
        ASSERT_TRUE(channel.receiveBody(received.data(), uint32_t(received.size())));
        EXPECT_EQ(received, body);
    }

    int ends_[2] = {-1, -1};
};

std::vector<uint8_t> bytes(size_t count, uint8_t seed) {
    std::vector<uint8_t> result(count);
    for (size_t i = 0; i < count; ++i)
        result[i] = uint8_t(seed + i * 13);
    return result;
}

TEST_F(SocketChannelTest, FramesSentAheadAreHandedOutOneByOne) {
    const MessageHeader first{kRequestMagic, 1, 2, 3, 40, 40};
    const MessageHeader second{kRequestMagic, 4, 5, 6, 0, 0};
    const MessageHeader third{kRequestMagic, 7, 8, 9, 10000, 10};
    std::vector<uint8_t> all = testing::frameBytes(first, bytes(40, 1));
    for (const auto& frame :
         {testing::frameBytes(second), testing::frameBytes(third, bytes(10000, 3))})
        all.insert(all.end(), frame.begin(), frame.end());
    std::thread writer([&] { send(all); });
    SocketChannel channel(ends_[0], 2000);
    expectFrame(channel, first, bytes(40, 1));
    expectFrame(channel, second, {});
    expectFrame(channel, third, bytes(10000, 3));
    writer.join();
}

TEST_F(SocketChannelTest, FrameArrivingByteByByteIsReadWhole) {
    const MessageHeader header{kRequestMagic, 1, 0, 0, 30, 0};
    const std::vector<uint8_t> frame = testing::frameBytes(header, bytes(30, 9));
    std::thread writer([&] {
        for (uint8_t byte : frame)
            send({byte});
    });
    SocketChannel channel(ends_[0], 2000);
    expectFrame(channel, header, bytes(30, 9));
    writer.join();
}

TEST_F(SocketChannelTest, StallInsideTheHeaderEndsTheConnection) {
    send(std::vector<uint8_t>(10, 'Q'));
    SocketChannel channel(ends_[0], 200);
    MessageHeader header{};
    EXPECT_FALSE(channel.receiveHeader(header));
}

TEST_F(SocketChannelTest, StallInsideTheBodyEndsTheConnection) {
    const MessageHeader header{kRequestMagic, 1, 0, 0, 100, 0};
    send(testing::frameBytes(header, bytes(60, 0)));
    SocketChannel channel(ends_[0], 200);
    MessageHeader received{};
    ASSERT_TRUE(channel.receiveHeader(received));
    std::vector<uint8_t> body(100);
    EXPECT_FALSE(channel.receiveBody(body.data(), 100));
}

TEST_F(SocketChannelTest, PeerClosingInsideAFrameEndsTheConnection) {
    send(std::vector<uint8_t>(30, 'Q'));
    close(ends_[1]);
    ends_[1] = socket(AF_UNIX, SOCK_STREAM, 0);
    SocketChannel channel(ends_[0], 2000);
    MessageHeader header{};
    ASSERT_TRUE(channel.receiveHeader(header));
    uint8_t body[10];
    EXPECT_FALSE(channel.receiveBody(body, 10));
}

}  // namespace
}  // namespace qiro
