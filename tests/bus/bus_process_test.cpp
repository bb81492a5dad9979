// Bus calls between processes: a `qiro serve` or a helper process of this test program serves,
// this process calls; servers are killed between and during calls.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "bus/bus_instance.h"
#include "tests/bus/bus_test_support.h"

namespace qiro {
namespace {

using testing::callOnce;
using testing::ChildProcess;
using testing::ScriptedService;
using testing::startServe;

constexpr uint32_t kEchoCode = 1;
constexpr uint32_t kSlowCode = 2;

CallStatus slowAnswer(uint32_t code, uint8_t* data, uint32_t length, uint32_t* replyLength) {
    if (code == kSlowCode) {
        std::printf("handling\n");
        std::fflush(stdout);
        uint32_t ms = 0;
        std::memcpy(&ms, data, std::min<uint32_t>(length, 4));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    return testing::echo(code, data, length, replyLength);
}

// The helper mode of this program: started again with kHelperSidVariable set, it serves that
// sid with echo (code 1) and a slow echo (code 2) that first says "handling" and then sleeps for
// the milliseconds in its first four request bytes. It serves until it is killed.
class SlowServerMode : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* sid = std::getenv(testing::kHelperSidVariable);
        if (sid == nullptr) {
            return;
        }
        BusInstance* instance = createInstance();
        instance->addService(new ScriptedService(uint32_t(std::atoi(sid)), slowAnswer), nullptr);
        std::printf("serving sid %s\n", sid);
        std::fflush(stdout);
        instance->run();
        delete instance;
        _exit(0);
    }
};

const auto* const slowServerMode = ::testing::AddGlobalTestEnvironment(new SlowServerMode);

std::unique_ptr<ChildProcess> startSlowServer(uint32_t sid) {
    setenv(testing::kHelperSidVariable, std::to_string(sid).c_str(), 1);
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{"/proc/self/exe"});
    unsetenv(testing::kHelperSidVariable);
    // The test framework speaks first.
    std::string expected = "serving sid " + std::to_string(sid);
    std::string line = child->readLine();
    while (!line.empty() && line != expected) {
        line = child->readLine();
    }
    EXPECT_EQ(line, expected);
    return child;
}

std::string millisecondsRequest(uint32_t ms) {
    return std::string(reinterpret_cast<const char*>(&ms), sizeof ms);
}

class BusProcessTest : public ::testing::Test {
  protected:
    void SetUp() override { caller = createInstance(); }
    void TearDown() override { delete caller; }
    CallStatus call(uint32_t sid, uint32_t code, const std::string& request, uint32_t timeout = 0) {
        return callOnce(caller, sid, &type, code, request, &reply, 64, timeout);
    }
    BusInstance* caller = nullptr;
    uint32_t type = 0;
    std::string reply;
};

TEST_F(BusProcessTest, ServeAnswersWithEveryStatusOfTheServingSide) {
    auto echoing = startServe({"500", "--type", "5", "--description", "far away", "--echo"});
    auto plain = startServe({"501"});

    type = 5;
    ASSERT_EQ(call(500, kEchoCode, "across"), CallStatus::Ok);
    EXPECT_EQ(reply, "across");
    ASSERT_EQ(call(500, 0, ""), CallStatus::Ok);
    EXPECT_EQ(reply, std::string("far away", 9));

    type = 6;
    EXPECT_EQ(call(500, kEchoCode, "x"), CallStatus::WrongType);
    EXPECT_EQ(type, 5u);

    type = 0;
    EXPECT_EQ(call(501, kEchoCode, "x"), CallStatus::UnknownCode);
    ASSERT_EQ(call(501, 0, ""), CallStatus::Ok);
    EXPECT_EQ(reply, "") << "no description";
    EXPECT_EQ(call(502, kEchoCode, "x"), CallStatus::NoService);
}

TEST_F(BusProcessTest, LateAnswerAfterATimeOutIsNotTakenForTheNextOne) {
    auto server = startSlowServer(510);
    EXPECT_EQ(call(510, kSlowCode, millisecondsRequest(500), 50), CallStatus::Timeout);
    ASSERT_EQ(call(510, kEchoCode, "fresh"), CallStatus::Ok);
    EXPECT_EQ(reply, "fresh");
}

// The cached conversation dies with its server; the next call connects afresh, to whichever
// process serves the sid by then, or ends in NoService when none does.
TEST_F(BusProcessTest, ServerKilledBetweenCallsIsReplacedOnTheNextCall) {
    auto first = startServe({"520", "--echo"});
    ASSERT_EQ(call(520, kEchoCode, "one"), CallStatus::Ok);
    first->signal(SIGKILL);
    first->wait();

    auto second = startServe({"520", "--echo"});
    ASSERT_EQ(call(520, kEchoCode, "two"), CallStatus::Ok);
    EXPECT_EQ(reply, "two");

    second->signal(SIGKILL);
    second->wait();
    EXPECT_EQ(call(520, kEchoCode, "three"), CallStatus::NoService);
    EXPECT_EQ(caller->findEndpoint(520), nullptr);
}

TEST_F(BusProcessTest, ServerKilledDuringACallEndsItWithNoService) {
    auto server = startSlowServer(530);
    std::thread killer([&] {
        if (server->readLine() == "handling") {
            server->signal(SIGKILL);
        }
    });
    EXPECT_EQ(call(530, kSlowCode, millisecondsRequest(10000), 20000), CallStatus::NoService);
    killer.join();
    EXPECT_EQ(caller->findEndpoint(530), nullptr);
}

}  // namespace
}  // namespace qiro
