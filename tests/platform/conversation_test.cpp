// Conversations between threads of one process: names, self-connections, nested dispatch while
// a transaction waits, servers that end, and many threads calling and serving at once.
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/platform/transport_fixture.h"

namespace qiro::testing {
namespace {

std::string inverted(std::string data) {
    for (char& c : data) {
        c = static_cast<char>(~c);
    }
    return data;
}

HDDEDATA acceptEverything(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return reinterpret_cast<HDDEDATA>(type == XTYP_CONNECT ? TRUE : DDE_FACK);
}

// An instance on the calling thread that registers names, for tests that serve on their own
// thread while they call.
class LocalServer {
  public:
    explicit LocalServer(PFNCALLBACK callback = acceptEverything) {
        EXPECT_EQ(DdeInitializeA(&instance_, callback, kBusFlags, 0), DMLERR_NO_ERROR);
    }
    ~LocalServer() { DdeUninitialize(instance_); }
    DWORD instance() const { return instance_; }
    bool name(const char* text, UINT command) {
        HSZ handle = DdeCreateStringHandleA(instance_, text, CP_WINANSI);
        bool done = DdeNameService(instance_, handle, nullptr, command) != nullptr;
        DdeFreeStringHandle(instance_, handle);
        return done;
    }
    HCONV connect(const char* text) {
        HSZ handle = DdeCreateStringHandleA(instance_, text, CP_WINANSI);
        HCONV conversation = DdeConnect(instance_, handle, handle, nullptr);
        DdeFreeStringHandle(instance_, handle);
        return conversation;
    }

  private:
    DWORD instance_ = 0;
};

TEST_F(TransportTest, UnregisteredNamesCannotBeConnectedTo) {
    LocalServer server;
    Client client;
    ASSERT_TRUE(server.name("QIRO 1", DNS_REGISTER));
    ASSERT_TRUE(server.name("QIRO 2", DNS_REGISTER));
    ASSERT_TRUE(server.name("QIRO 2", DNS_REGISTER));  // again: still one registration
    EXPECT_EQ(registrationFileCount(), 2);
    ASSERT_TRUE(server.name("QIRO 1", DNS_UNREGISTER));
    EXPECT_EQ(client.connect("QIRO 1"), nullptr);
    EXPECT_EQ(DdeGetLastError(client.instance()), DMLERR_NO_CONV_ESTABLISHED);
    // A null name with DNS_UNREGISTER takes every name of the instance away.
    EXPECT_NE(DdeNameService(server.instance(), nullptr, nullptr, DNS_UNREGISTER), nullptr);
    EXPECT_EQ(registrationFileCount(), 0);
    EXPECT_EQ(client.connect("QIRO 2"), nullptr);
    // Names match exactly.
    ASSERT_TRUE(server.name("QIRO 3", DNS_REGISTER));
    EXPECT_EQ(client.connect("QIRO 30"), nullptr);
    EXPECT_EQ(client.connect("qiro 3"), nullptr);
}

TEST_F(TransportTest, AnInstanceNeverConnectsToItself) {
    LocalServer self;
    ASSERT_TRUE(self.name("QIRO 3", DNS_REGISTER));
    EXPECT_EQ(self.connect("QIRO 3"), nullptr);
    EXPECT_EQ(DdeGetLastError(self.instance()), DMLERR_NO_CONV_ESTABLISHED);
    // A younger registration of another instance is reached instead of its own older one.
    ServerThread other("QIRO 3");
    ASSERT_TRUE(other.ready());
    HCONV conversation = self.connect("QIRO 3");
    ASSERT_NE(conversation, nullptr);
    EXPECT_EQ(other.connects.load(), 1);
}

TEST_F(TransportTest, HandlesOfAnotherThreadsInstanceAreNotUsable) {
    Client client;
    DWORD instance = client.instance();
    std::thread([instance] {
        EXPECT_EQ(DdeCreateStringHandleA(instance, "QIRO 4", CP_WINANSI), nullptr);
        EXPECT_EQ(DdeCreateDataHandle(instance, nullptr, 4, 0, nullptr, 0, 0), nullptr);
        EXPECT_FALSE(DdeUninitialize(instance));
    }).join();
    HDDEDATA item = client.makeItem("ok");
    EXPECT_NE(item, nullptr);
    EXPECT_TRUE(DdeFreeDataHandle(item));
}

enum class ServerEnd { Uninitialised, ThreadEndedWithoutUninitialising };

class ServerEndTest : public TransportTest, public ::testing::WithParamInterface<ServerEnd> {};

TEST_P(ServerEndTest, CachedConversationReportsTheServerGone) {
    std::promise<DWORD> started;
    std::thread server([&] {
        DWORD instance = 0;
        DdeInitializeA(&instance, acceptEverything, kBusFlags, 0);
        HSZ name = DdeCreateStringHandleA(instance, "QIRO 5", CP_WINANSI);
        DdeNameService(instance, name, nullptr, DNS_REGISTER);
        started.set_value(GetCurrentThreadId());
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0)) {
            DispatchMessageA(&message);
        }
        if (GetParam() == ServerEnd::Uninitialised) {
            DdeUninitialize(instance);
        }
        // Otherwise the thread just ends, with its instance still alive.
    });
    DWORD serverThread = started.get_future().get();
    Client client;
    HCONV conversation = client.connect("QIRO 5");
    ASSERT_NE(conversation, nullptr);
    std::string data = "before";
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
    PostThreadMessageA(serverThread, WM_QUIT, 0, 0);
    server.join();
    UINT error = client.poke(conversation, data);
    EXPECT_TRUE(error == DMLERR_SERVER_DIED || error == DMLERR_NO_CONV_ESTABLISHED) << error;
    EXPECT_EQ(registrationFileCount(), 0);
    EXPECT_EQ(client.connect("QIRO 5"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ends, ServerEndTest,
                         ::testing::Values(ServerEnd::Uninitialised,
                                           ServerEnd::ThreadEndedWithoutUninitialising));

// The nested-dispatch scenario: the test thread T pokes server X; X's callback pokes a name that
// T serves; T must serve that poke while it waits. T's serving callback then tries a transaction
// on T's own waiting instance, which must be refused with DMLERR_REENTRANCY.
struct NestedScene {
    DWORD waitingInstance = 0;
    HCONV waitingConversation = nullptr;
    HDDEDATA spareItem = nullptr;
    UINT reentrantError = DMLERR_NO_ERROR;
    int nestedPokes = 0;
};
NestedScene scene;

HDDEDATA serveOnWaitingThread(UINT type, UINT format, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR,
                              ULONG_PTR) {
    if (type == XTYP_CONNECT) {
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    ++scene.nestedPokes;
    HDDEDATA done =
        DdeClientTransaction(reinterpret_cast<BYTE*>(scene.spareItem), DDE_DATA_IS_HANDLE,
                             scene.waitingConversation, nullptr, format, XTYP_POKE, 1000, nullptr);
    scene.reentrantError = done == nullptr ? DdeGetLastError(scene.waitingInstance) : 0;
    DWORD size = 0;
    BYTE* bytes = DdeAccessData(data, &size);
    std::memset(bytes, 'T', size);
    DdeUnaccessData(data);
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(DDE_FACK));
}

TEST_F(TransportTest, WaitingThreadServesNestedPokesAndRefusesReentrantTransactions) {
    LocalServer onThisThread(serveOnWaitingThread);
    ASSERT_TRUE(onThisThread.name("QIRO 100", DNS_REGISTER));
    std::string nestedResult;
    UINT nestedError = DMLERR_SYS_ERROR;
    ServerThread forwarder("QIRO 101", [&](BYTE* data, DWORD size) {
        Client inner;  // made on the forwarder's thread, inside its callback
        HCONV back = inner.connect("QIRO 100");
        std::string bytes = "abc";
        nestedError = back != nullptr ? inner.poke(back, bytes) : DMLERR_NO_CONV_ESTABLISHED;
        nestedResult = bytes;
        std::memset(data, 'F', size);
        return DDE_FACK;
    });
    ASSERT_TRUE(forwarder.ready());
    Client client;
    scene.waitingInstance = client.instance();
    scene.waitingConversation = client.connect("QIRO 101");
    ASSERT_NE(scene.waitingConversation, nullptr);
    scene.spareItem = client.makeItem("spare");
    std::string data = "outer";
    ASSERT_EQ(client.poke(scene.waitingConversation, data), DMLERR_NO_ERROR);
    EXPECT_EQ(data, "FFFFF");
    EXPECT_EQ(nestedError, DMLERR_NO_ERROR);
    EXPECT_EQ(nestedResult, "TTT");
    EXPECT_EQ(scene.nestedPokes, 1);
    EXPECT_EQ(scene.reentrantError, DMLERR_REENTRANCY);
    DdeFreeDataHandle(scene.spareItem);
    scene = NestedScene{};
}

TEST_F(TransportTest, ManyThreadsCallAndServeAtOnce) {
    constexpr int kServers = 3;
    constexpr int kClients = 4;
    constexpr int kPokes = 60;
    std::vector<std::unique_ptr<ServerThread>> servers;
    for (int i = 0; i < kServers; ++i) {
        servers.push_back(std::make_unique<ServerThread>("QIRO " + std::to_string(300 + i)));
        ASSERT_TRUE(servers.back()->ready());
    }
    std::vector<std::thread> clients;
    std::atomic<int> good{0};
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            Client client;
            std::vector<HCONV> conversations;
            for (int i = 0; i < kServers; ++i) {
                conversations.push_back(client.connect("QIRO " + std::to_string(300 + i)));
            }
            std::mt19937 random(c);
            for (int n = 0; n < kPokes; ++n) {
                size_t size = n % 3 == 0 ? 100 * 1024 + c : 40 + c;
                std::string data(size, static_cast<char>('a' + c));
                data[0] = static_cast<char>(n);
                std::string expected = inverted(data);
                HCONV conversation = conversations[random() % kServers];
                if (conversation != nullptr && client.poke(conversation, data) == DMLERR_NO_ERROR &&
                    data == expected) {
                    ++good;
                }
            }
        });
    }
    for (auto& thread : clients) {
        thread.join();
    }
    EXPECT_EQ(good.load(), kClients * kPokes);
    int pokes = 0;
    for (auto& server : servers) {
        pokes += server->pokes.load();
    }
    EXPECT_EQ(pokes, kClients * kPokes);
}

}  // namespace
}  // namespace qiro::testing
