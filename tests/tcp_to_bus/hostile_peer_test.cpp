// Many connections at once against one dtcpqiro, a share of them hostile: bad magics, lengths of
// 4 GiB, bodies cut off, half-frames left hanging. Every valid call must be answered correctly,
// no malformed frame may get a reply, the server's memory must stay bounded, and it must go on
// serving afterwards.
#include <gtest/gtest.h>
#include <poll.h>

#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/gateway_processes.h"
#include "support/loopback.h"
#include "support/test_service.h"

namespace qiro::testing {
namespace {

constexpr uint32_t kSid = 200;
constexpr uint32_t kType = 5;
constexpr int kConnections = 240;
constexpr int kCallers = 4;
constexpr int kCallsPerConnection = 3;
// Far below what honouring one 4 GiB header would take, far above what the valid calls need.
constexpr long kMemoryBoundKiB = 256 * 1024;

enum class Peer { BadMagic, HugeLength, CutBody, IdleHalfFrame, Valid, AlsoValid };
constexpr int kPeerKinds = 6;

// The peak resident memory of a process, from /proc.
long peakMemoryKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// True when no byte arrives within `waitMs` (and the connection is not closed either).
bool staysSilent(int socket, int waitMs) {
    pollfd entry{socket, POLLIN, 0};
    return poll(&entry, 1, waitMs) == 0;
}

std::vector<uint8_t> bodyFor(int connection, int call) {
    std::vector<uint8_t> body(size_t(connection * 37 + call * 1001) % 9000);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = uint8_t(i + connection + call);
    return body;
}

void sendMalformed(RawClient& client, Peer kind) {
    switch (kind) {
        case Peer::BadMagic: {
            MessageHeader header = requestHeader(kSid, kType, kEcho, 4, 4);
            header.magic = 0x21212121;
            ASSERT_TRUE(client.sendRequest(header, {1, 2, 3, 4}));
            break;
        }
        case Peer::HugeLength:
            ASSERT_TRUE(
                client.sendRequest(requestHeader(kSid, kType, kEcho, 0xFFFFFFFFu, 0xFFFFFFFFu)));
            break;
        case Peer::CutBody:
            ASSERT_TRUE(client.send(frameBytes(requestHeader(kSid, kType, kEcho, 5000, 5000),
                                               std::vector<uint8_t>(100, 7))));
            client.close();
            break;
        case Peer::IdleHalfFrame:
            ASSERT_TRUE(
                client.send(frameBytes(requestHeader(kSid, kType, kEcho, 10, 10)).data(), 13));
            break;
        default:
            break;
    }
}

TEST(HostilePeers, ValidCallsAreAnsweredAmongMalformedOnesAndMemoryStaysBounded) {
    ServiceThread service(kSid, kType);
    ASSERT_TRUE(service.ready());
    const uint16_t port = freePort();
    auto server = startServer(port);
    ASSERT_NE(server, nullptr);

    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kConnections; ++i) {
        clients.push_back(std::make_unique<RawClient>(port, 60000));
        ASSERT_TRUE(clients.back()->connected()) << "connection " << i;
    }
    for (int i = 0; i < kConnections; ++i)
        sendMalformed(*clients[i], Peer(i % kPeerKinds));

    std::vector<std::thread> callers;
    std::atomic<int> answered{0};
    for (int caller = 0; caller < kCallers; ++caller) {
        callers.emplace_back([&, caller] {
            for (int i = caller; i < kConnections; i += kCallers) {
                if (Peer(i % kPeerKinds) < Peer::Valid)
                    continue;
                for (int call = 0; call < kCallsPerConnection; ++call) {
                    const std::vector<uint8_t> body = bodyFor(i, call);
                    const auto length = uint32_t(body.size());
                    ASSERT_TRUE(clients[i]->sendRequest(
                        requestHeader(kSid, kType, kEcho, length, length), body));
                    const auto reply = clients[i]->readReply();
                    ASSERT_TRUE(reply.has_value()) << "connection " << i;
                    ASSERT_EQ(reply->header.lengthOrStatus, 0u);
                    ASSERT_EQ(reply->body, body) << "connection " << i;
                    ++answered;
                }
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(answered, kConnections / kPeerKinds * 2 * kCallsPerConnection);

    for (int i = 0; i < kConnections; ++i) {
        switch (Peer(i % kPeerKinds)) {
            case Peer::BadMagic:
            case Peer::HugeLength:
                EXPECT_TRUE(clients[i]->closedByPeer()) << "connection " << i;
                break;
            case Peer::IdleHalfFrame:
                EXPECT_TRUE(staysSilent(clients[i]->socket(), 100)) << "connection " << i;
                break;
            default:
                break;
        }
    }
    EXPECT_LT(peakMemoryKiB(server->pid()), kMemoryBoundKiB);

    clients.clear();
    RawClient after(port);
    ASSERT_TRUE(after.sendRequest(requestHeader(kSid, kType, kEcho, 3, 3), {4, 5, 6}));
    const auto reply = after.readReply();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->body, (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_TRUE(server->running());
}

}  // namespace
}  // namespace qiro::testing
