// dqirotcp as a real process: a caller of the test process calls the sid it offers, the call
// crosses dqirotcp, TCP and dtcpqiro, and reaches a service of the test process.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "bus/bus_instance.h"
#include "support/gateway_processes.h"
#include "support/loopback.h"
#include "support/test_service.h"

namespace qiro::testing {
namespace {

constexpr uint32_t kRemoteSid = 200;
constexpr uint32_t kLocalSid = 100;
constexpr uint32_t kType = 5;

struct CallResult {
    CallStatus status;
    uint32_t type;
    std::vector<uint8_t> reply;
};

class DqirotcpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(service.ready());
        ASSERT_NE(caller, nullptr);
    }
    void TearDown() override { delete caller; }

    std::unique_ptr<ChildProcess> startClient(const std::vector<std::string>& arguments) {
        return std::make_unique<ChildProcess>(programPath("dqirotcp"), arguments,
                                              gatewayEnvironment(port));
    }

    CallResult call(uint32_t sid, uint32_t type, uint32_t code, std::vector<uint8_t> request,
                    uint32_t capacity = 256) {
        CallResult result{CallStatus::Ok, type, std::vector<uint8_t>(capacity)};
        BufferPiece requestPiece{request.data(), uint32_t(request.size())};
        BufferPiece replyPiece{result.reply.data(), capacity};
        result.status = caller->call(sid, &result.type, code, &requestPiece, 1, &replyPiece, 1, 0);
        result.reply.resize(result.status == CallStatus::Ok ? replyPiece.length : 0);
        return result;
    }

    // A registered dqirotcp answers a wrong type itself, without forwarding, so this tells
    // whether it is there even when its remote side is not.
    bool waitForRegistration(uint32_t sid, uint32_t type = kType) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (call(sid, type + 1, kEcho, {}).status != CallStatus::WrongType) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    ServiceThread service{kRemoteSid, kType};
    uint16_t port = freePort();
    BusInstance* caller = createInstance();
};

TEST_F(DqirotcpTest, FewerThanThreeArgumentsPrintTheUsage) {
    ChildProcess client(programPath("dqirotcp"), {"100", "0"}, gatewayEnvironment(port));
    const auto status = client.waitForExit(20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(
        client.output(),
        "QIRO to TCP/IP translator v1.00\nUse: dqirotcp <sid> <type> <host> [<remote sid>]\n");
}

TEST_F(DqirotcpTest, CallCrossesBothGatewaysAndComesBack) {
    auto server = startServer(port);
    ASSERT_NE(server, nullptr);
    auto client = startClient({"100", "5", "127.0.0.1", "200", "ignored"});
    ASSERT_TRUE(waitForRegistration(kLocalSid));
    const CallResult first = call(kLocalSid, kType, kEcho, {1, 2, 3});
    ASSERT_EQ(first.status, CallStatus::Ok);
    EXPECT_EQ(first.reply, (std::vector<uint8_t>{1, 2, 3}));
    const CallResult description = call(kLocalSid, kType, 0, {});
    ASSERT_EQ(description.status, CallStatus::Ok) << "code 0 reaches the remote service";
    EXPECT_STREQ(reinterpret_cast<const char*>(description.reply.data()), "gateway test service");
    EXPECT_EQ(call(kLocalSid, kType, kStatus, {42, 0, 0, 0}).status, CallStatus(42));
    EXPECT_EQ(client->output(), "QIRO to TCP/IP translator v1.00\n");
}

TEST_F(DqirotcpTest, RemoteTypeMismatchComesBackAsWrongType) {
    auto server = startServer(port);
    ASSERT_NE(server, nullptr);
    auto client = startClient({"101", "9", "127.0.0.1", "200"});
    ASSERT_TRUE(waitForRegistration(101, 9));
    EXPECT_EQ(call(101, 9, kEcho, {1}).status, CallStatus::WrongType);
}

TEST_F(DqirotcpTest, RestartedRemoteGatewayFailsOneCallThenServes) {
    auto server = startServer(port);
    ASSERT_NE(server, nullptr);
    auto client = startClient({"100", "5", "127.0.0.1", "200"});
    ASSERT_TRUE(waitForRegistration(kLocalSid));
    ASSERT_EQ(call(kLocalSid, kType, kEcho, {1}).status, CallStatus::Ok);
    ASSERT_TRUE(server->stop(SIGTERM).has_value());
    server = startServer(port);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(call(kLocalSid, kType, kEcho, {2}).status, CallStatus::NoService);
    const CallResult next = call(kLocalSid, kType, kEcho, {3});
    ASSERT_EQ(next.status, CallStatus::Ok);
    EXPECT_EQ(next.reply, std::vector<uint8_t>{3});
}

TEST_F(DqirotcpTest, ClosedPortAndUnknownHostGiveNoServiceEveryTime) {
    auto closed = startClient({"100", "5", "127.0.0.1", "200"});
    auto unknown = startClient({"101", "5", "no-such-host.invalid", "200"});
    for (uint32_t sid : {kLocalSid, 101u}) {
        ASSERT_TRUE(waitForRegistration(sid)) << sid;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(call(sid, kType, kEcho, {1}).status, CallStatus::NoService) << sid;
    }
    EXPECT_TRUE(closed->running());
    EXPECT_TRUE(unknown->running());
}

TEST_F(DqirotcpTest, TerminationUnregistersTheServiceAndEndsCleanly) {
    auto server = startServer(port);
    ASSERT_NE(server, nullptr);
    auto client = startClient({"100", "5", "127.0.0.1", "200"});
    ASSERT_TRUE(waitForRegistration(kLocalSid));
    ASSERT_EQ(call(kLocalSid, kType, kEcho, {1}).status, CallStatus::Ok);
    const auto status = client->stop(SIGTERM);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(call(kLocalSid, kType, kEcho, {1}).status, CallStatus::NoService);
}

}  // namespace
}  // namespace qiro::testing
