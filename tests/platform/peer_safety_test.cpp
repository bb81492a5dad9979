// Peers that break the protocol, on either end, must never crash or hang the transport.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/frame_channel.h"
#include "tests/platform/transport_fixture.h"

namespace qiro::testing {
namespace {

using platform::FrameHeader;
using platform::FrameKind;

int connectTo(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The socket of the only instance in the runtime directory.
std::string onlySocket(const std::string& runtimeDir) {
    std::string folder = runtimeDir + "/sock";
    DIR* directory = opendir(folder.c_str());
    std::string found;
    while (dirent* entry = directory != nullptr ? readdir(directory) : nullptr) {
        if (entry->d_name[0] != '.') {
            found = folder + "/" + entry->d_name;
        }
    }
    if (directory != nullptr) {
        closedir(directory);
    }
    return found;
}

void sendFrame(int fd, FrameKind kind, uint32_t serial, uint32_t arg, const std::string& payload,
               uint32_t announced, int passedFd = -1) {
    FrameHeader header{static_cast<uint32_t>(kind), serial, arg, announced};
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes += payload;
    iovec part{bytes.data(), bytes.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (passedFd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &passedFd, sizeof(int));
    }
    ASSERT_EQ(sendmsg(fd, &message, MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

std::string connectPayload(const std::string& name) {
    return name + '\0' + name + '\0';
}

std::string sharedPokePayload(uint32_t bufferId, uint32_t length, uint32_t hasDescriptor) {
    platform::SharedPokePrefix prefix{0, bufferId, length, hasDescriptor};
    return std::string(reinterpret_cast<const char*>(&prefix), sizeof prefix);
}

enum class Abuse {
    HugeLength,
    PokeBeforeConnect,
    NamesWithoutTerminator,
    UnknownKind,
    SharedPokeOfUnknownBuffer,
    SharedPokeWithUnsealedMemory,
    SharedPokeBeyondTheBuffer,
    CutOffFrame,
};

class HostileClientTest : public TransportTest, public ::testing::WithParamInterface<Abuse> {};

TEST_P(HostileClientTest, ServerDropsTheConnectionAndGoesOnServing) {
    ServerThread server("QIRO 60");
    ASSERT_TRUE(server.ready());
    int fd = connectTo(onlySocket(runtimeDir_));
    ASSERT_GE(fd, 0);
    bool connectFirst = GetParam() != Abuse::PokeBeforeConnect &&
                        GetParam() != Abuse::NamesWithoutTerminator &&
                        GetParam() != Abuse::HugeLength;
    if (connectFirst) {
        std::string names = connectPayload("QIRO 60");
        sendFrame(fd, FrameKind::ConnectRequest, 1, 0, names, names.size());
        FrameHeader reply{};
        ASSERT_EQ(recv(fd, &reply, sizeof reply, MSG_WAITALL), static_cast<ssize_t>(sizeof reply));
        ASSERT_EQ(reply.arg, 1u);
    }
    int memory = -1;
    switch (GetParam()) {
        case Abuse::HugeLength:
            sendFrame(fd, FrameKind::ConnectRequest, 1, 0, "", 0xFFFFFFFF);
            break;
        case Abuse::PokeBeforeConnect:
            sendFrame(fd, FrameKind::Poke, 1, 0, std::string(8, '\0'), 8);
            break;
        case Abuse::NamesWithoutTerminator:
            sendFrame(fd, FrameKind::ConnectRequest, 1, 0, "QIRO 60", 7);
            break;
        case Abuse::UnknownKind:
            sendFrame(fd, static_cast<FrameKind>(99), 2, 0, "", 0);
            break;
        case Abuse::SharedPokeOfUnknownBuffer:
            sendFrame(fd, FrameKind::SharedPoke, 2, 0, sharedPokePayload(77, 10, 0), 16);
            break;
        case Abuse::SharedPokeWithUnsealedMemory:
            memory = memfd_create("unsealed", MFD_CLOEXEC);
            ASSERT_EQ(ftruncate(memory, 4096), 0);
            sendFrame(fd, FrameKind::SharedPoke, 2, 0, sharedPokePayload(1, 10, 1), 16, memory);
            break;
        case Abuse::SharedPokeBeyondTheBuffer:
            memory = memfd_create("sealed", MFD_CLOEXEC | MFD_ALLOW_SEALING);
            ASSERT_EQ(ftruncate(memory, 4096), 0);
            ASSERT_EQ(fcntl(memory, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW), 0);
            sendFrame(fd, FrameKind::SharedPoke, 2, 0, sharedPokePayload(1, 8192, 1), 16, memory);
            break;
        case Abuse::CutOffFrame:
            sendFrame(fd, FrameKind::Poke, 2, 0, "abc", 100);
            shutdown(fd, SHUT_WR);
            break;
    }
    // The server closes its end rather than answering.
    char byte;
    EXPECT_EQ(recv(fd, &byte, 1, MSG_WAITALL), 0);
    close(fd);
    if (memory >= 0) {
        close(memory);
    }
    EXPECT_EQ(server.pokes.load(), 0);
    Client client;
    HCONV conversation = client.connect("QIRO 60");
    ASSERT_NE(conversation, nullptr);
    std::string data = "still serving";
    EXPECT_EQ(client.poke(conversation, data), DMLERR_NO_ERROR);
}

INSTANTIATE_TEST_SUITE_P(Abuses, HostileClientTest,
                         ::testing::Values(Abuse::HugeLength, Abuse::PokeBeforeConnect,
                                           Abuse::NamesWithoutTerminator, Abuse::UnknownKind,
                                           Abuse::SharedPokeOfUnknownBuffer,
                                           Abuse::SharedPokeWithUnsealedMemory,
                                           Abuse::SharedPokeBeyondTheBuffer, Abuse::CutOffFrame));

enum class BadAnswer { WrongLength, HugeLength, WrongKind };

class HostileServerTest : public TransportTest, public ::testing::WithParamInterface<BadAnswer> {};

// A fake server made by hand: a registration and a socket that answer the connect properly and
// the poke wrongly.
TEST_P(HostileServerTest, ClientFailsTheTransactionAndKeepsItsData) {
    std::string socketPath = runtimeDir_ + "/sock/" + std::to_string(getpid()) + "-999999";
    ASSERT_EQ(mkdir((runtimeDir_ + "/sock").c_str(), 0700) == 0 || errno == EEXIST, true);
    ASSERT_EQ(mkdir((runtimeDir_ + "/names").c_str(), 0700) == 0 || errno == EEXIST, true);
    ASSERT_EQ(mkdir((runtimeDir_ + "/names/QIRO 62").c_str(), 0700), 0);
    std::string entry =
        runtimeDir_ + "/names/QIRO 62/00000000000000000001-" + std::to_string(getpid()) + "-999999";
    close(open(entry.c_str(), O_CREAT | O_WRONLY, 0600));
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    std::thread fake([&] {
        int fd = accept(listener, nullptr, nullptr);
        FrameHeader header{};
        std::vector<char> payload;
        auto readFrame = [&] {
            recv(fd, &header, sizeof header, MSG_WAITALL);
            payload.resize(header.length);
            recv(fd, payload.data(), payload.size(), MSG_WAITALL);
        };
        readFrame();
        sendFrame(fd, FrameKind::ConnectReply, header.serial, 1, "", 0);
        readFrame();
        switch (GetParam()) {
            case BadAnswer::WrongLength:
                sendFrame(fd, FrameKind::PokeReply, header.serial, DDE_FACK, "xy", 2);
                break;
            case BadAnswer::HugeLength:
                sendFrame(fd, FrameKind::PokeReply, header.serial, DDE_FACK, "", 0xFFFFFFF0);
                break;
            case BadAnswer::WrongKind:
                sendFrame(fd, FrameKind::SharedPokeReply, header.serial, DDE_FACK, "", 0);
                break;
        }
        char byte;
        recv(fd, &byte, 1, 0);  // until the client closes
        close(fd);
    });
    Client client;
    HCONV conversation = client.connect("QIRO 62");
    ASSERT_NE(conversation, nullptr);
    std::string data = "keep me";
    UINT error = client.poke(conversation, data);
    EXPECT_TRUE(error == DMLERR_SYS_ERROR || error == DMLERR_SERVER_DIED) << error;
    EXPECT_EQ(data, "keep me");
    // The conversation is not trusted any more.
    EXPECT_NE(client.poke(conversation, data), DMLERR_NO_ERROR);
    DdeDisconnect(conversation);
    fake.join();
    close(listener);
}

INSTANTIATE_TEST_SUITE_P(Answers, HostileServerTest,
                         ::testing::Values(BadAnswer::WrongLength, BadAnswer::HugeLength,
                                           BadAnswer::WrongKind));

}  // namespace
}  // namespace qiro::testing
