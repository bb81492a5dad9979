// Bus calls between processes: a `qiro serve` or a helper process of this test program serves,
// this process calls; servers are killed between and during calls.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <future>
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

// Says on standard output when it is destroyed (write(2): it may happen during exit).
class AnnouncingService : public Service {
  public:
    AnnouncingService(uint32_t sid, const char* farewell) : Service(sid), farewell(farewell) {}
    ~AnnouncingService() override {
        ssize_t ignored = write(STDOUT_FILENO, farewell, std::strlen(farewell));
        (void)ignored;
    }
    const char* farewell;
};

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Serves the sid with echo (code 1) and a slow echo (code 2) that first says "handling" and
// then sleeps for the milliseconds in its first four request bytes, until it is killed.
[[noreturn]] void serveSlowly(uint32_t sid) {
    BusInstance* instance = createInstance();
    instance->addService(new ScriptedService(sid, slowAnswer), nullptr);
    say(("serving sid " + std::to_string(sid)).c_str());
    instance->run();
    delete instance;
    _exit(0);
}

// Leaves an instance on the main thread and one on another thread that is still running, then
// ends the program with exit(): only the main thread's instance is to be destroyed.
[[noreturn]] void exitWithInstancesLeft(uint32_t sid) {
    std::promise<void> made;
    std::thread other([&made, sid] {
        BusInstance* instance = createInstance();
        instance->addService(new AnnouncingService(sid + 1, "destroyed other\n"), nullptr);
        made.set_value();
        for (;;) {
            pause();
        }
    });
    other.detach();
    made.get_future().wait();
    BusInstance* instance = createInstance();
    instance->addService(new AnnouncingService(sid, "destroyed main\n"), nullptr);
    say("exiting");
    std::exit(0);
}

// The helper modes of this program: started again with kHelperSidVariable set, it runs the
// helper that kHelperModeVariable names, before any test.
constexpr const char* kHelperModeVariable = "QIRO_TEST_HELPER_MODE";

class HelperMode : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* sid = std::getenv(testing::kHelperSidVariable);
        const char* mode = std::getenv(kHelperModeVariable);
        if (sid == nullptr || mode == nullptr) {
            return;
        }
        if (std::strcmp(mode, "exit") == 0) {
            exitWithInstancesLeft(uint32_t(std::atoi(sid)));
        }
        serveSlowly(uint32_t(std::atoi(sid)));
    }
};

const auto* const helperMode = ::testing::AddGlobalTestEnvironment(new HelperMode);

// Starts the helper `mode` and returns once it said `firstLine` (the test framework speaks
// first).
std::unique_ptr<ChildProcess> startHelper(const char* mode, uint32_t sid,
                                          const std::string& firstLine) {
    setenv(testing::kHelperSidVariable, std::to_string(sid).c_str(), 1);
    setenv(kHelperModeVariable, mode, 1);
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{"/proc/self/exe"});
    unsetenv(testing::kHelperSidVariable);
    unsetenv(kHelperModeVariable);
    std::string line = child->readLine();
    while (!line.empty() && line != firstLine) {
        line = child->readLine();
    }
    EXPECT_EQ(line, firstLine);
    return child;
}

std::unique_ptr<ChildProcess> startSlowServer(uint32_t sid) {
    return startHelper("slow", sid, "serving sid " + std::to_string(sid));
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

TEST(ProgramExitTest, DestroysOnlyTheExitingThreadsInstances) {
    auto helper = startHelper("exit", 540, "exiting");
    EXPECT_EQ(helper->readLine(), "destroyed main");
    EXPECT_EQ(helper->readLine(), "") << "nothing more: the other thread's instance stays";
    EXPECT_EQ(helper->wait(), 0);
}

}  // namespace
}  // namespace qiro
