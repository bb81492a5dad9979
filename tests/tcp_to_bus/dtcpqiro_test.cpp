// dtcpqiro as a real process on loopback, calling a service that runs on the bus of the test
// process.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <thread>

#include "support/gateway_processes.h"
#include "support/loopback.h"
#include "support/test_service.h"

namespace qiro::testing {
namespace {

constexpr uint32_t kSid = 200;
constexpr uint32_t kType = 5;

std::vector<uint8_t> counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = uint8_t(i * 7);
    return bytes;
}

class DtcpqiroTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(service.ready());
        server = startServer(port, arguments());
        ASSERT_NE(server, nullptr);
    }
    virtual std::vector<std::string> arguments() { return {}; }

    // One echo call on `client`; the reply must carry the request back.
    void expectEcho(RawClient& client, const std::vector<uint8_t>& body) {
        ASSERT_TRUE(client.sendRequest(
            requestHeader(kSid, kType, kEcho, uint32_t(body.size()), uint32_t(body.size())), body));
        const auto reply = client.readReply();
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->header.lengthOrStatus, 0u);
        EXPECT_EQ(reply->body, body);
    }

    ServiceThread service{kSid, kType};
    uint16_t port = freePort();
    std::unique_ptr<ChildProcess> server;
};

TEST_F(DtcpqiroTest, ReplyCarriesSidCodeAndTheAnswer) {
    RawClient client(port);
    const std::vector<uint8_t> body = counting(40);
    ASSERT_TRUE(client.sendRequest(requestHeader(kSid, kType, kEcho, 40, 64), body));
    const auto reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(std::memcmp(&reply->header.magic, "QirR", 4), 0);
    EXPECT_EQ(reply->header.sid, kSid);
    EXPECT_EQ(reply->header.type, kType);
    EXPECT_EQ(reply->header.code, uint32_t(kEcho));
    EXPECT_EQ(reply->header.lengthOrStatus, 0u);
    EXPECT_EQ(reply->body, body);
}

TEST_F(DtcpqiroTest, FrameSentByteByByteIsServed) {
    RawClient client(port);
    const std::vector<uint8_t> frame =
        frameBytes(requestHeader(kSid, kType, kEcho, 30, 30), counting(30));
    for (uint8_t byte : frame)
        ASSERT_TRUE(client.send(&byte, 1));
    const auto reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->body, counting(30));
}

TEST_F(DtcpqiroTest, StatusesTravelBackAndTheConnectionStays) {
    RawClient client(port);
    ASSERT_TRUE(client.sendRequest(requestHeader(kSid, 9, kEcho, 2, 8), {1, 2}));
    auto reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->header.lengthOrStatus, uint32_t(CallStatus::WrongType));
    EXPECT_EQ(reply->header.type, kType) << "the service's own type comes back";
    EXPECT_TRUE(reply->body.empty());

    ASSERT_TRUE(client.sendRequest(requestHeader(kSid + 1, kType, kEcho, 0, 8)));
    reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->header.lengthOrStatus, uint32_t(CallStatus::NoService));

    ASSERT_TRUE(client.sendRequest(requestHeader(kSid, kType, kEcho, 6, 3), counting(6)));
    reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->header.lengthOrStatus, uint32_t(CallStatus::ReplyTooLong));
    EXPECT_EQ(reply->header.capacityOrLength, 0u);

    expectEcho(client, {5, 6, 7});
}

TEST_F(DtcpqiroTest, BadMagicClosesThatConnectionOnly) {
    RawClient other(port);
    expectEcho(other, {1});
    RawClient client(port);
    MessageHeader header = requestHeader(kSid, kType, kEcho, 0, 0);
    std::memcpy(&header.magic, "QirR", 4);
    ASSERT_TRUE(client.sendRequest(header));
    EXPECT_TRUE(client.closedByPeer());
    expectEcho(other, {2});
}

TEST_F(DtcpqiroTest, BodyCutShortGetsNoReply) {
    {
        RawClient client(port);
        ASSERT_TRUE(client.send(frameBytes(requestHeader(kSid, kType, kEcho, 100, 100), {1, 2})));
    }
    RawClient next(port);
    expectEcho(next, {3});
}

TEST_F(DtcpqiroTest, TwoClientsAreServedInParallel) {
    RawClient slow(port);
    const std::vector<uint8_t> frame =
        frameBytes(requestHeader(kSid, kType, kEcho, 8, 8), counting(8));
    // The first client stops in the middle of its frame; the second is served meanwhile.
    ASSERT_TRUE(slow.send(frame.data(), 12));
    RawClient quick(port);
    expectEcho(quick, counting(20));
    ASSERT_TRUE(slow.send(frame.data() + 12, frame.size() - 12));
    const auto reply = slow.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->body, counting(8));
}

TEST_F(DtcpqiroTest, LargeCallsCrossWhole) {
    RawClient client(port);
    expectEcho(client, counting(1 << 20));
    const uint32_t count = 3 << 20;
    ASSERT_TRUE(client.sendRequest(requestHeader(kSid, kType, kPattern, 4, count),
                                   {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), 0}));
    const auto reply = client.readReply();
    ASSERT_TRUE(reply.has_value());
    ASSERT_EQ(reply->body.size(), count);
    for (uint32_t i = 0; i < count; i += 4099)
        ASSERT_EQ(reply->body[i], uint8_t(i));
}

TEST_F(DtcpqiroTest, SecondCopyOnATakenPortPrintsTcpListenAndEnds) {
    ChildProcess second(programPath("dtcpqiro"), {}, gatewayEnvironment(port));
    const auto status = second.waitForExit(20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(second.output(), "TCP/IP to QIRO translator v1.00\n");
    EXPECT_EQ(second.errors().rfind("TcpListen: ", 0), 0u) << second.errors();
    RawClient client(port);
    expectEcho(client, {9});
}

TEST_F(DtcpqiroTest, TerminationEndsItQuietlyWithConnectionsOpen) {
    RawClient idle(port);
    RawClient busy(port);
    expectEcho(busy, {1});
    const auto status = server->stop(SIGTERM, 20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(server->output(), "TCP/IP to QIRO translator v1.00\n");
    EXPECT_EQ(server->errors(), "");
    EXPECT_TRUE(idle.closedByPeer());
}

class DtcpqiroWithLimit : public DtcpqiroTest {
  protected:
    std::vector<std::string> arguments() override { return {"1000"}; }
};

TEST_F(DtcpqiroWithLimit, CallsAroundTheLimitAreServed) {
    RawClient client(port);
    for (size_t size : {1500u, 2002u, 1500u, 10u, 0u, 5000u})
        expectEcho(client, counting(size));
}

}  // namespace
}  // namespace qiro::testing
