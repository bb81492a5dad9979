// Bus calls between threads of one process: statuses where they arise, the layout of the data
// item, the scatter of the reply, time-outs and many callers at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "bus/bus_instance.h"
#include "tests/bus/bus_test_support.h"

namespace qiro {
namespace {

using testing::callOnce;
using testing::ScriptedService;
using testing::ServerThread;

constexpr uint32_t kSid = 300;
constexpr uint32_t kType = 77;

enum Code : uint32_t {
    kEcho = 1,
    kBlindEcho = 2,   // answers with the request whatever the capacity
    kShowItem = 3,    // notes the room and length it saw, replies with every byte behind the header
    kSleep = 4,       // sleeps the milliseconds in the request, then echoes
    kOddStatus = 5,   // returns 9
    kFixedReply = 6,  // replies with the seven bytes "1234567"
};

// What the last kShowItem request saw, written on the serving thread.
std::atomic<uint32_t> roomSeen{0};
std::atomic<uint32_t> lengthSeen{0};

CallStatus answer(uint32_t code, uint8_t* data, uint32_t length, uint32_t* replyLength) {
    switch (code) {
        case kEcho:
            return testing::echo(code, data, length, replyLength);
        case kBlindEcho:
            *replyLength = length;
            return CallStatus::Ok;
        case kShowItem: {
            // The bytes behind the header are the larger of request length and capacity.
            uint32_t itemRoom = std::max(length, *replyLength);
            roomSeen = *replyLength;
            lengthSeen = length;
            if (itemRoom > *replyLength) {
                return CallStatus::ReplyTooLong;
            }
            *replyLength = itemRoom;
            return CallStatus::Ok;
        }
        case kSleep: {
            uint32_t ms = 0;
            std::memcpy(&ms, data, std::min<uint32_t>(length, 4));
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return testing::echo(code, data, length, replyLength);
        }
        case kOddStatus:
            return CallStatus(9);
        case kFixedReply:
            if (*replyLength < 7) {
                return CallStatus::ReplyTooLong;
            }
            std::memcpy(data, "1234567", 7);
            *replyLength = 7;
            return CallStatus::Ok;
    }
    return CallStatus::UnknownCode;
}

class BusCallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<ServerThread>([](BusInstance* instance) {
            instance->addService(new ScriptedService(kSid, answer, kType, "abc"), nullptr);
        });
        caller = createInstance();
    }
    void TearDown() override {
        delete caller;
        server.reset();
    }
    CallStatus call(uint32_t code, const std::string& request, std::string* reply,
                    uint32_t capacity, uint32_t timeout = 0) {
        return callOnce(caller, kSid, &type, code, request, reply, capacity, timeout);
    }

    std::unique_ptr<ServerThread> server;
    BusInstance* caller = nullptr;
    uint32_t type = kType;
};

TEST_F(BusCallTest, EchoComesBackAndTheConversationIsKept) {
    std::string reply;
    ASSERT_EQ(call(kEcho, "hello", &reply, 16), CallStatus::Ok);
    EXPECT_EQ(reply, "hello");
    Endpoint* endpoint = caller->findEndpoint(kSid);
    ASSERT_NE(endpoint, nullptr);
    HCONV conversation = endpoint->conversation;
    EXPECT_NE(conversation, nullptr);
    ASSERT_EQ(call(kEcho, "again", &reply, 16), CallStatus::Ok);
    EXPECT_EQ(reply, "again");
    EXPECT_EQ(caller->findEndpoint(kSid)->conversation, conversation);
}

TEST_F(BusCallTest, WrongTypeWritesTheServicesTypeBackForTheNextCall) {
    type = 1;
    std::string reply = "untouched";
    BufferPiece piece{reinterpret_cast<uint8_t*>(reply.data()), uint32_t(reply.size())};
    EXPECT_EQ(caller->call(kSid, &type, kEcho, nullptr, 0, &piece, 1, 0), CallStatus::WrongType);
    EXPECT_EQ(type, kType);
    EXPECT_EQ(piece.length, reply.size()) << "reply pieces keep their lengths";
    EXPECT_EQ(reply, "untouched");
    EXPECT_EQ(call(kEcho, "x", &reply, 4), CallStatus::Ok);
}

TEST_F(BusCallTest, FailuresOtherThanWrongTypeLeaveTypeAndPiecesAlone) {
    for (uint32_t code : {uint32_t(kOddStatus), 99u}) {
        std::string reply = "keep";
        BufferPiece piece{reinterpret_cast<uint8_t*>(reply.data()), 4};
        uint32_t before = type;
        CallStatus status = caller->call(kSid, &type, code, nullptr, 0, &piece, 1, 0);
        EXPECT_EQ(status, code == kOddStatus ? CallStatus(9) : CallStatus::UnknownCode);
        EXPECT_EQ(type, before);
        EXPECT_EQ(piece.length, 4u);
        EXPECT_EQ(reply, "keep");
    }
}

// A reply that fits the room behind the header but not the capacity the caller offered.
TEST_F(BusCallTest, ReplyLongerThanTheCapacityIsRefusedByTheCaller) {
    std::string reply;
    EXPECT_EQ(call(kBlindEcho, "0123456789", &reply, 4), CallStatus::ReplyTooLong);
}

TEST_F(BusCallTest, DescriptionAnswerFollowsTheRoom) {
    std::string reply;
    ASSERT_EQ(call(0, "", &reply, 10), CallStatus::Ok);
    EXPECT_EQ(reply, std::string("abc", 4));
    ASSERT_EQ(call(0, "", &reply, 3), CallStatus::Ok);
    EXPECT_EQ(reply, std::string("ab", 3));
    EXPECT_EQ(call(0, "", &reply, 0), CallStatus::ReplyTooLong) << "the header alone";
}

// The data item is the header, the request, then filler from the reply pieces up to the
// capacity: request 4 and capacity 10 make 10 bytes, the last 6 of them the first 6 bytes of
// the reply pieces.
TEST_F(BusCallTest, FillerComesFromTheReplyPieces) {
    uint8_t request[4] = {'r', 'e', 'q', '!'};
    uint8_t replyA[4] = {'A', 'B', 'C', 'D'};
    uint8_t replyB[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    BufferPiece requestPiece{request, 4};
    BufferPiece replyPieces[2] = {{replyA, 4}, {replyB, 6}};
    ASSERT_EQ(caller->call(kSid, &type, kShowItem, &requestPiece, 1, replyPieces, 2, 0),
              CallStatus::Ok);
    EXPECT_EQ(roomSeen.load(), 10u);
    EXPECT_EQ(lengthSeen.load(), 4u);
    ASSERT_EQ(replyPieces[0].length, 4u);
    ASSERT_EQ(replyPieces[1].length, 6u);
    EXPECT_EQ(std::memcmp(replyA, "req!", 4), 0);
    EXPECT_EQ(std::memcmp(replyB, "ABCDab", 6), 0);
}

// Request 10 and capacity 4: the item holds the 10 request bytes, the service is offered a room
// of 4 only.
TEST_F(BusCallTest, RequestLongerThanTheCapacityLeavesTheCapacityAsTheRoom) {
    std::string reply;
    EXPECT_EQ(call(kShowItem, "0123456789", &reply, 4), CallStatus::ReplyTooLong);
    EXPECT_EQ(roomSeen.load(), 4u);
    EXPECT_EQ(lengthSeen.load(), 10u);
    ASSERT_EQ(call(kShowItem, "0123456789", &reply, 14), CallStatus::Ok);
    EXPECT_EQ(reply, std::string("0123456789\0\0\0\0", 14));
}

TEST_F(BusCallTest, ReplyIsScatteredOverThePiecesInOrder) {
    uint8_t a[4], b[8], c[8];
    BufferPiece pieces[3] = {{a, 4}, {b, 8}, {c, 8}};
    ASSERT_EQ(caller->call(kSid, &type, kFixedReply, nullptr, 0, pieces, 3, 0), CallStatus::Ok);
    EXPECT_EQ(pieces[0].length, 4u);
    EXPECT_EQ(pieces[1].length, 3u);
    EXPECT_EQ(pieces[2].length, 0u);
    EXPECT_EQ(std::memcmp(a, "1234", 4), 0);
    EXPECT_EQ(std::memcmp(b, "567", 3), 0);

    BufferPiece empty[2] = {{a, 4}, {b, 8}};
    ASSERT_EQ(caller->call(kSid, &type, kEcho, nullptr, 0, empty, 2, 0), CallStatus::Ok);
    EXPECT_EQ(empty[0].length, 0u);
    EXPECT_EQ(empty[1].length, 0u);
}

TEST_F(BusCallTest, RequestIsGatheredFromItsPieces) {
    uint8_t first[] = {'g', 'a', 't'};
    uint8_t second[] = {'h', 'e', 'r'};
    BufferPiece request[3] = {{first, 3}, {nullptr, 0}, {second, 3}};
    uint8_t out[16];
    BufferPiece reply{out, sizeof out};
    ASSERT_EQ(caller->call(kSid, &type, kEcho, request, 3, &reply, 1, 0), CallStatus::Ok);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), reply.length), "gather");
}

// A late answer to a timed-out call is discarded; the conversation stays and serves the next
// call.
TEST_F(BusCallTest, TimeOutKeepsTheConversation) {
    uint32_t sleepMs = 600;
    std::string request(reinterpret_cast<char*>(&sleepMs), 4);
    std::string reply;
    EXPECT_EQ(call(kSleep, request, &reply, 8, 50), CallStatus::Timeout);
    Endpoint* endpoint = caller->findEndpoint(kSid);
    ASSERT_NE(endpoint, nullptr);
    EXPECT_NE(endpoint->conversation, nullptr);
    ASSERT_EQ(call(kEcho, "after", &reply, 8), CallStatus::Ok);
    EXPECT_EQ(reply, "after");
}

// A timeout argument of 0 is the default limit, not an immediate one.
TEST_F(BusCallTest, ZeroTimeoutWaitsForASlowService) {
    uint32_t sleepMs = 300;
    std::string request(reinterpret_cast<char*>(&sleepMs), 4);
    std::string reply;
    EXPECT_EQ(call(kSleep, request, &reply, 8, 0), CallStatus::Ok);
}

TEST_F(BusCallTest, SidThatNobodyServesLeavesNoEndpointBehind) {
    std::string reply;
    EXPECT_EQ(callOnce(caller, kSid + 1, &type, kEcho, "x", &reply, 4), CallStatus::NoService);
    EXPECT_EQ(caller->findEndpoint(kSid + 1), nullptr);
    EXPECT_EQ(caller->endpoints.count, 0u);
}

// The calling instance never reaches its own service: another instance that serves the sid
// answers, and without one the call ends in NoService, dropping the shared endpoint (so a later
// removeService finds none).
TEST_F(BusCallTest, CallToASidTheCallerServesItselfGoesElsewhereOrNowhere) {
    auto* own = new ScriptedService(kSid, nullptr, 0, "own");
    ASSERT_EQ(caller->addService(own, nullptr), 1);
    type = kType;
    std::string reply;
    ASSERT_EQ(call(0, "", &reply, 16), CallStatus::Ok);
    EXPECT_EQ(reply, std::string("abc", 4)) << "answered by the server thread";

    auto* lonely = new ScriptedService(kSid + 2);
    ASSERT_EQ(caller->addService(lonely, nullptr), 1);
    type = 0;
    EXPECT_EQ(callOnce(caller, kSid + 2, &type, 0, "", &reply, 16), CallStatus::NoService);
    EXPECT_EQ(caller->findEndpoint(kSid + 2), nullptr);
    EXPECT_EQ(caller->removeService(lonely), 0);
    delete lonely;
}

TEST_F(BusCallTest, ManyThreadsCallAtOnceThroughTheirOwnInstances) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 200;
    std::atomic<int> wrong{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([t, &wrong] {
            BusInstance* instance = createInstance();
            for (int i = 0; i < kCalls; ++i) {
                std::string request = "thread " + std::to_string(t) + " call " + std::to_string(i);
                std::string reply;
                uint32_t callType = kType;
                if (callOnce(instance, kSid, &callType, kEcho, request, &reply, 64) !=
                        CallStatus::Ok ||
                    reply != request) {
                    ++wrong;
                }
            }
            delete instance;
        });
    }
    for (std::thread& thread : callers) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qiro
