// The transport between real processes: pokes, the shared format number, servers that die or
// stall, stale registrations, the choice among several registrations and a clean stop on SIGTERM.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/platform/child_process.h"

namespace qiro::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string pattern(size_t size, char seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(seed + i * 13);
    }
    return data;
}

std::string inverted(std::string data) {
    for (char& c : data) {
        c = static_cast<char>(~c);
    }
    return data;
}

// Answers with the data's first byte replaced by `mark`, so a test can tell who served it.
PokeHandler markWith(char mark) {
    return [mark](BYTE* data, DWORD size) {
        if (size > 0) {
            data[0] = static_cast<BYTE>(mark);
        }
        return DDE_FACK;
    };
}

class ProcessTest : public TransportTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(ProcessTest, PokeIsRewrittenInPlaceByAnotherProcess) {
    ChildProcess server = startServerProcess("QIRO 42");
    std::string ready = server.readLine();
    ASSERT_EQ(ready.rfind("ready ", 0), 0u) << ready;
    Client client;
    // The clipboard format is the same number in both processes.
    EXPECT_EQ(ready, "ready " + std::to_string(RegisterClipboardFormatA("QIRO")));
    HCONV conversation = client.connect("QIRO 42");
    ASSERT_NE(conversation, nullptr);
    for (char seed : {'a', 'b', 'c'}) {
        std::string data = pattern(GetParam(), seed);
        ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
        EXPECT_TRUE(data == inverted(pattern(GetParam(), seed)));
    }
    server.kill(SIGTERM);
    EXPECT_EQ(server.wait(), 0);
}

TEST_P(ProcessTest, ServerKilledBetweenCallsIsReportedAndItsRegistrationRemoved) {
    ChildProcess server = startServerProcess("QIRO 43");
    ASSERT_FALSE(server.readLine().empty());
    Client client;
    HCONV conversation = client.connect("QIRO 43");
    ASSERT_NE(conversation, nullptr);
    std::string data = pattern(GetParam(), 'x');
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    server.kill(SIGKILL);
    server.wait();
    data = pattern(GetParam(), 'y');
    UINT error = client.poke(conversation, data);
    EXPECT_TRUE(error == DMLERR_SERVER_DIED || error == DMLERR_NO_CONV_ESTABLISHED) << error;
    EXPECT_TRUE(data == pattern(GetParam(), 'y'));
    // A poke on the broken conversation fails again instead of hanging.
    error = client.poke(conversation, data);
    EXPECT_TRUE(error == DMLERR_SERVER_DIED || error == DMLERR_NO_CONV_ESTABLISHED) << error;
    EXPECT_TRUE(DdeDisconnect(conversation));
    EXPECT_EQ(registrationFileCount(), 1);
    EXPECT_EQ(client.connect("QIRO 43"), nullptr);
    EXPECT_EQ(DdeGetLastError(client.instance()), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_EQ(registrationFileCount(), 0);
}

TEST_P(ProcessTest, ServerKilledDuringACallGivesServerDiedAndKeepsTheData) {
    int notify[2];
    ASSERT_EQ(pipe(notify), 0);
    // The callback scribbles over the data, tells the test it is inside, and never returns.
    ChildProcess server = startServerProcess("QIRO 44", [&](BYTE* data, DWORD size) {
        std::memset(data, 'z', size);
        report(notify[1], "inside");
        pause();
        return DDE_FACK;
    });
    close(notify[1]);
    ASSERT_FALSE(server.readLine().empty());
    std::thread killer([&] {
        char c;
        if (read(notify[0], &c, 1) == 1) {
            server.kill(SIGKILL);
        }
    });
    Client client;
    HCONV conversation = client.connect("QIRO 44");
    ASSERT_NE(conversation, nullptr);
    std::string data = pattern(GetParam(), 'k');
    EXPECT_EQ(client.poke(conversation, data, 60000), DMLERR_SERVER_DIED);
    EXPECT_TRUE(data == pattern(GetParam(), 'k'));
    killer.join();
    close(notify[0]);
}

TEST_P(ProcessTest, LateAnswerAfterATimeOutIsNotTakenForTheNextOne) {
    int release[2];
    ASSERT_EQ(pipe(release), 0);
    // The first poke is answered only once the test lets it, after the client gave up; its
    // answer marks the data 'L'. Later pokes are answered at once with 'N'.
    ChildProcess server = startServerProcess("QIRO 45", [&](BYTE* data, DWORD size) {
        static int count = 0;
        char mark = 'N';
        if (count++ == 0) {
            char c;
            if (read(release[0], &c, 1) != 1) {
                return 0u;
            }
            mark = 'L';
        }
        std::memset(data, mark, size);
        return DDE_FACK;
    });
    close(release[0]);
    ASSERT_FALSE(server.readLine().empty());
    Client client;
    HCONV conversation = client.connect("QIRO 45");
    ASSERT_NE(conversation, nullptr);
    HDDEDATA first = client.makeItem(pattern(GetParam(), 'f'));
    ASSERT_NE(first, nullptr);
    UINT format = RegisterClipboardFormatA("QIRO");
    EXPECT_EQ(DdeClientTransaction(reinterpret_cast<BYTE*>(first), DDE_DATA_IS_HANDLE, conversation,
                                   nullptr, format, XTYP_POKE, 200, nullptr),
              nullptr);
    EXPECT_EQ(DdeGetLastError(client.instance()), DMLERR_POKEACKTIMEOUT);
    ASSERT_EQ(write(release[1], "go", 2), 2);
    std::string data = pattern(GetParam(), 's');
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    EXPECT_TRUE(data == std::string(GetParam(), 'N'));
    // The late answer reached neither poke: the timed-out item still holds what it was given.
    EXPECT_TRUE(client.readItem(first) == pattern(GetParam(), 'f'));
    DdeFreeDataHandle(first);
    close(release[1]);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProcessTest, ::testing::Values(size_t{40}, size_t{1024 * 1024}));

TEST_F(TransportTest, OldestLiveRegistrationWinsAndStaleOnesAreSkipped) {
    ChildProcess oldest = startServerProcess("QIRO 50", markWith('A'));
    ASSERT_FALSE(oldest.readLine().empty());
    ChildProcess middle = startServerProcess("QIRO 50", markWith('B'));
    ASSERT_FALSE(middle.readLine().empty());
    ChildProcess newest = startServerProcess("QIRO 50", markWith('C'));
    ASSERT_FALSE(newest.readLine().empty());
    Client client;
    std::string data = "?";
    HCONV conversation = client.connect("QIRO 50");
    ASSERT_NE(conversation, nullptr);
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    EXPECT_EQ(data, "A");
    DdeDisconnect(conversation);

    oldest.kill(SIGKILL);
    oldest.wait();
    ASSERT_EQ(registrationFileCount(), 3);
    conversation = client.connect("QIRO 50");
    ASSERT_NE(conversation, nullptr);
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    EXPECT_EQ(data, "B");
    EXPECT_EQ(registrationFileCount(), 2);  // the dead one's registration is gone
    DdeDisconnect(conversation);

    // A clean stop unregisters: the next connect goes to the newest without meeting a stale one.
    middle.kill(SIGTERM);
    EXPECT_EQ(middle.wait(), 0);
    EXPECT_EQ(registrationFileCount(), 1);
    conversation = client.connect("QIRO 50");
    ASSERT_NE(conversation, nullptr);
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    EXPECT_EQ(data, "C");
}

TEST_F(TransportTest, ServerThatDoesNotDispatchMakesConnectFailInBoundedTime) {
    ChildProcess server([](int reportFd) {
        DWORD instance = 0;
        DdeInitializeA(
            &instance,
            [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) -> HDDEDATA {
                return reinterpret_cast<HDDEDATA>(TRUE);
            },
            kBusFlags, 0);
        HSZ name = DdeCreateStringHandleA(instance, "QIRO 51", CP_WINANSI);
        DdeNameService(instance, name, nullptr, DNS_REGISTER);
        report(reportFd, "ready");
        pause();  // never dispatches
        return 0;
    });
    ASSERT_FALSE(server.readLine().empty());
    DdeSetConnectTimeout(300);
    Client client;
    auto start = steady_clock::now();
    EXPECT_EQ(client.connect("QIRO 51"), nullptr);
    auto waited = steady_clock::now() - start;
    DdeSetConnectTimeout(5000);
    EXPECT_EQ(DdeGetLastError(client.instance()), DMLERR_NO_CONV_ESTABLISHED);
    EXPECT_GE(waited, milliseconds(250));
    EXPECT_LT(waited, milliseconds(5000));
    // Stalled is not dead: its registration stays.
    EXPECT_EQ(registrationFileCount(), 1);
}

}  // namespace
}  // namespace qiro::testing
