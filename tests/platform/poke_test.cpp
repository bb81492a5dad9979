// Connecting and poking between threads of this process, through the real sockets.
#include <cstring>

#include "tests/platform/transport_fixture.h"

namespace qiro::testing {
namespace {

class PokeTest : public TransportTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(PokeTest, CallbackRewritesThePokeDataInPlace) {
    ServerThread server("QIRO 7");
    ASSERT_TRUE(server.ready());
    Client client;
    HCONV conversation = client.connect("QIRO 7");
    ASSERT_NE(conversation, nullptr);
    for (int round = 0; round < 3; ++round) {
        std::string data(GetParam(), '\0');
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<char>(i * 7 + round);
        }
        std::string expected = data;
        for (char& c : expected) {
            c = static_cast<char>(c ^ 0xFF);
        }
        ASSERT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
        EXPECT_TRUE(data == expected) << "round " << round;
    }
    EXPECT_EQ(server.connects.load(), 1);
    EXPECT_EQ(server.pokes.load(), 3);
    EXPECT_TRUE(DdeDisconnect(conversation));
}

TEST_P(PokeTest, RefusalLeavesTheClientDataAsItWas) {
    // The callback scribbles over the data and then refuses: the client must not see it.
    ServerThread server("QIRO 8", [](BYTE* data, DWORD size) {
        std::memset(data, 'x', size);
        return 0u;
    });
    ASSERT_TRUE(server.ready());
    Client client;
    HCONV conversation = client.connect("QIRO 8");
    ASSERT_NE(conversation, nullptr);
    std::string data(GetParam(), 'a');
    ASSERT_EQ(client.poke(conversation, data), DMLERR_NOTPROCESSED);
    EXPECT_EQ(data, std::string(GetParam(), 'a'));
    // The conversation stays usable after a refusal.
    data.assign(GetParam(), 'b');
    EXPECT_EQ(client.poke(conversation, data), DMLERR_NOTPROCESSED);
    EXPECT_EQ(data, std::string(GetParam(), 'b'));
}

// 40 bytes travel in the frame; 1 MiB and 256 KiB + 3 go through shared memory.
INSTANTIATE_TEST_SUITE_P(Sizes, PokeTest,
                         ::testing::Values(size_t{0}, size_t{40}, size_t{64 * 1024 - 1},
                                           size_t{256 * 1024 + 3}, size_t{1024 * 1024}));

}  // namespace
}  // namespace qiro::testing
