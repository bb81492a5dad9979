// The forwarding service against a scripted remote gateway: what it sends, which replies it
// passes on, when it drops its connection and how it comes back.
#include "bus_to_tcp/tcp_forward_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "fake_gateway.h"
#include "support/loopback.h"

namespace qiro {
namespace {

using testing::Answer;
using testing::FakeGateway;
using testing::replyFrame;
using testing::Request;

// The gateway port is read once per process, so every test of this binary shares one.
const uint16_t kPort = [] {
    const uint16_t port = testing::freePort();
    setenv("QIRO_GATEWAY_PORT", std::to_string(port).c_str(), 1);
    return port;
}();

constexpr uint32_t kLocalSid = 100;
constexpr uint32_t kRemoteSid = 200;
constexpr uint32_t kType = 5;

Answer echo(const Request& request) {
    return {replyFrame(request.header, 0, request.body)};
}

class ForwardTest : public ::testing::Test {
  protected:
    explicit ForwardTest(const char* host = "127.0.0.1")
        : service(kLocalSid, kType, host, kRemoteSid, {2000, 400}) {}

    // Forwards `request` with `room` bytes of reply room; the reply lands in `reply`.
    CallStatus forward(uint32_t code, std::vector<uint8_t> request, uint32_t room = 64) {
        reply.assign(std::max<size_t>(room, request.size()), 0);
        std::copy(request.begin(), request.end(), reply.begin());
        replyLength = room;
        return service.handleRequest(code, reply.data(), uint32_t(request.size()), reply.data(),
                                     &replyLength);
    }

    TcpForwardService service;
    std::vector<uint8_t> reply;
    uint32_t replyLength = 0;
};

TEST_F(ForwardTest, RequestGoesToTheRemoteSidWithOwnTypeAndTheReplyComesBack) {
    FakeGateway remote(kPort, echo);
    ASSERT_EQ(forward(0, {1, 2, 3}, 10), CallStatus::Ok);
    EXPECT_EQ(replyLength, 3u);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 3),
              (std::vector<uint8_t>{1, 2, 3}));
    const auto requests = remote.requests();
    ASSERT_EQ(requests.size(), 1u);
    const MessageHeader& sent = requests[0].header;
    EXPECT_EQ(sent.magic, kRequestMagic);
    EXPECT_EQ(sent.sid, kRemoteSid);
    EXPECT_EQ(sent.type, kType);
    EXPECT_EQ(sent.code, 0u) << "code 0 is forwarded, not answered locally";
    EXPECT_EQ(sent.lengthOrStatus, 3u);
    EXPECT_EQ(sent.capacityOrLength, 10u);
}

TEST_F(ForwardTest, ConnectionIsMadeOnceAndKept) {
    FakeGateway remote(kPort, echo);
    EXPECT_FALSE(service.connected()) << "nothing is connected before the first request";
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(forward(1, {uint8_t(i)}), CallStatus::Ok);
    EXPECT_EQ(remote.connectionsAccepted(), 1);
}

TEST_F(ForwardTest, EmptyRequestSendsTheHeaderAlone) {
    FakeGateway remote(kPort, echo);
    ASSERT_EQ(forward(1, {}, 0), CallStatus::Ok);
    EXPECT_EQ(replyLength, 0u);
    ASSERT_EQ(remote.requests().size(), 1u);
    EXPECT_TRUE(remote.requests()[0].body.empty());
}

struct ReplyCase {
    const char* name;
    std::function<Answer(const Request&)> script;
    CallStatus status;
    bool keepsConnection;
};

void PrintTo(const ReplyCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class RemoteReply : public ForwardTest, public ::testing::WithParamInterface<ReplyCase> {};

// Each reply is followed by a good request: it shows whether the connection was kept or made
// anew.
TEST_P(RemoteReply, GivesItsStatusAndKeepsOrDropsTheConnection) {
    bool first = true;
    FakeGateway remote(kPort, [&](const Request& request) {
        if (!std::exchange(first, false))
            return echo(request);
        return GetParam().script(request);
    });
    EXPECT_EQ(forward(1, {7, 7}, 4), GetParam().status);
    EXPECT_EQ(service.connected(), GetParam().keepsConnection);
    ASSERT_EQ(forward(1, {8}), CallStatus::Ok) << "the next request is served";
    EXPECT_EQ(reply[0], 8);
    EXPECT_EQ(remote.connectionsAccepted(), GetParam().keepsConnection ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RemoteReply,
    ::testing::Values(ReplyCase{"NoServiceClosesTheConnection",
                                [](const Request& r) { return Answer{replyFrame(r.header, 1)}; },
                                CallStatus::NoService, false},
                      ReplyCase{
                          "WrongTypeIsPassedOnAndTheConnectionKept",
                          [](const Request& r) { return Answer{replyFrame(r.header, 7, {}, 99)}; },
                          CallStatus::WrongType, true},
                      ReplyCase{"UnknownStatusIsPassedOnUnchanged",
                                [](const Request& r) { return Answer{replyFrame(r.header, 4242)}; },
                                CallStatus(4242), true},
                      ReplyCase{"ReplyLongerThanTheRoomIsReplyTooLongAndCloses",
                                [](const Request& r) {
                                    return Answer{replyFrame(r.header, 0, {1, 2, 3, 4, 5})};
                                },
                                CallStatus::ReplyTooLong, false},
                      ReplyCase{"RequestMagicInReplyIsNoService",
                                [](const Request& r) {
                                    auto bytes = replyFrame(r.header, 0);
                                    std::memcpy(bytes.data(), "QirC", 4);
                                    return Answer{bytes};
                                },
                                CallStatus::NoService, false},
                      ReplyCase{"ReplyHeaderCutShortIsNoService",
                                [](const Request& r) {
                                    auto bytes = replyFrame(r.header, 0);
                                    bytes.resize(10);
                                    return Answer{bytes, true};
                                },
                                CallStatus::NoService, false},
                      ReplyCase{"ReplyBodyCutShortIsNoService",
                                [](const Request& r) {
                                    auto bytes = replyFrame(r.header, 0, {1, 2, 3});
                                    bytes.pop_back();
                                    return Answer{bytes, true};
                                },
                                CallStatus::NoService, false},
                      ReplyCase{"SilentPeerTimesOutAndCloses",
                                [](const Request&) {
                                    return Answer{{}, false, true};
                                },
                                CallStatus::Timeout, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ForwardTest, RestartedRemoteFailsOneRequestThenReconnects) {
    {
        FakeGateway first(kPort, echo);
        ASSERT_EQ(forward(1, {1}), CallStatus::Ok);
    }
    FakeGateway second(kPort, echo);
    EXPECT_EQ(forward(1, {2}), CallStatus::NoService) << "the stale connection fails";
    EXPECT_FALSE(service.connected());
    ASSERT_EQ(forward(1, {3}), CallStatus::Ok);
    EXPECT_EQ(reply[0], 3);
    EXPECT_EQ(second.connectionsAccepted(), 1);
}

TEST_F(ForwardTest, ClosedPortGivesNoServiceEveryTime) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(forward(1, {1}), CallStatus::NoService);
        EXPECT_FALSE(service.connected());
    }
}

class UnresolvableHost : public ForwardTest {
  protected:
    UnresolvableHost() : ForwardTest("no-such-host.invalid") {}
};

TEST_F(UnresolvableHost, GivesNoServiceEveryTime) {
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(forward(1, {1}), CallStatus::NoService);
}

}  // namespace
}  // namespace qiro
