// The serving side's answer to one request record, and the bus callback's answers to DDE.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "bus/bus_callback.h"
#include "bus/bus_instance.h"
#include "tests/bus/bus_test_support.h"

namespace qiro {
namespace {

using testing::ScriptedService;

constexpr uint32_t kSid = 10;
constexpr uint32_t kType = 3;

enum Code : uint32_t {
    kEcho = 1,
    kRefuseAfterWriting = 2,  // sets a reply length of 10, then returns UnknownCode
    kOverrun = 3,             // claims one byte more than the room
    kOddStatus = 4,           // returns 9, a value without a name
    kReportRoom = 5,          // replies with the room and request length it saw
};

CallStatus scriptedAnswer(uint32_t code, uint8_t* data, uint32_t length, uint32_t* replyLength) {
    switch (code) {
        case kEcho:
            return testing::echo(code, data, length, replyLength);
        case kRefuseAfterWriting:
            *replyLength = 10;
            return CallStatus::UnknownCode;
        case kOverrun:
            *replyLength += 1;
            return CallStatus::Ok;
        case kOddStatus:
            return CallStatus(9);
        case kReportRoom: {
            uint32_t seen[2] = {*replyLength, length};
            std::memcpy(data, seen, sizeof seen);
            *replyLength = sizeof seen;
            return CallStatus::Ok;
        }
    }
    return CallStatus::UnknownCode;
}

std::vector<uint8_t> makeRecord(uint32_t type, uint32_t code, uint32_t requestLength,
                                uint32_t capacity, uint32_t bodySize, uint32_t sid = kSid) {
    std::vector<uint8_t> record(kHeaderSize + bodySize, 0xAB);
    MessageHeader header{kRequestMagic, sid, type, code, requestLength, capacity};
    std::memcpy(record.data(), &header, kHeaderSize);
    return record;
}

MessageHeader headerOf(const std::vector<uint8_t>& record) {
    MessageHeader header;
    std::memcpy(&header, record.data(), kHeaderSize);
    return header;
}

class DispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        instance = createInstance();
        ASSERT_NE(instance->ddeInstance, 0u);
        ASSERT_EQ(instance->addService(new ScriptedService(kSid, scriptedAnswer, kType), nullptr),
                  1);
    }
    void TearDown() override { delete instance; }
    BusInstance* instance = nullptr;
};

struct DispatchCase {
    const char* name;
    uint32_t sid, type, code, requestLength, capacity, bodySize;
    CallStatus status;
    uint32_t replyLength;
    uint32_t replyType;
};

class DispatchStatusTest : public DispatchTest,
                           public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchStatusTest, RewritesTheRecordIntoItsReply) {
    const DispatchCase& c = GetParam();
    std::vector<uint8_t> record =
        makeRecord(c.type, c.code, c.requestLength, c.capacity, c.bodySize, c.sid);
    ASSERT_EQ(answerRequest(record.data(), uint32_t(record.size())), 1);
    MessageHeader reply = headerOf(record);
    EXPECT_EQ(reply.magic, kReplyMagic);
    EXPECT_EQ(reply.sid, c.sid);
    EXPECT_EQ(reply.code, c.code);
    EXPECT_EQ(reply.type, c.replyType);
    EXPECT_EQ(reply.lengthOrStatus, uint32_t(c.status));
    EXPECT_EQ(reply.capacityOrLength, c.replyLength);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, DispatchStatusTest,
    ::testing::Values(DispatchCase{"Echo", kSid, kType, kEcho, 6, 8, 8, CallStatus::Ok, 6, kType},
                      DispatchCase{"NoServiceForSid", 11, kType, kEcho, 0, 0, 0,
                                   CallStatus::NoService, 0, kType},
                      DispatchCase{"WrongTypeCarriesTheServicesType", kSid, 99, kEcho, 4, 4, 4,
                                   CallStatus::WrongType, 0, kType},
                      DispatchCase{"WrongTypeBeforeBadRequest", kSid, 99, kEcho, 50, 0, 4,
                                   CallStatus::WrongType, 0, kType},
                      DispatchCase{"RequestLongerThanTheData", kSid, kType, kEcho, 5, 0, 4,
                                   CallStatus::BadRequest, 0, kType},
                      DispatchCase{"RoomCutToTheData", kSid, kType, kReportRoom, 8, 100, 40,
                                   CallStatus::Ok, 8, kType},
                      DispatchCase{"ReplyBeyondTheRoom", kSid, kType, kOverrun, 0, 100, 40,
                                   CallStatus::ReplyTooLong, 0, kType},
                      DispatchCase{"RefusalDropsTheReplyLength", kSid, kType, kRefuseAfterWriting,
                                   0, 20, 20, CallStatus::UnknownCode, 0, kType},
                      DispatchCase{"UnnamedStatusPassesThrough", kSid, kType, kOddStatus, 0, 20, 20,
                                   CallStatus(9), 0, kType},
                      DispatchCase{"HeaderAloneAsksForTheDescriptionWithoutRoom", kSid, kType, 0, 0,
                                   0, 0, CallStatus::ReplyTooLong, 0, kType}),
    [](const ::testing::TestParamInfo<DispatchCase>& info) { return info.param.name; });

TEST_F(DispatchTest, HandlerSeesTheCappedRoomAndTheRequestLength) {
    std::vector<uint8_t> record = makeRecord(kType, kReportRoom, 8, 100, 40);
    ASSERT_EQ(answerRequest(record.data(), uint32_t(record.size())), 1);
    uint32_t seen[2];
    std::memcpy(seen, record.data() + kHeaderSize, sizeof seen);
    EXPECT_EQ(seen[0], 40u) << "room";
    EXPECT_EQ(seen[1], 8u) << "request length";
}

TEST_F(DispatchTest, RecordsThatAreNoRequestsAreLeftUntouched) {
    std::vector<uint8_t> tooShort = makeRecord(kType, kEcho, 0, 0, 0);
    tooShort.pop_back();
    std::vector<uint8_t> before = tooShort;
    EXPECT_EQ(answerRequest(tooShort.data(), uint32_t(tooShort.size())), 0);
    EXPECT_EQ(tooShort, before);

    std::vector<uint8_t> wrongMagic = makeRecord(kType, kEcho, 0, 0, 4);
    std::memcpy(wrongMagic.data(), "QirR", 4);
    before = wrongMagic;
    EXPECT_EQ(answerRequest(wrongMagic.data(), uint32_t(wrongMagic.size())), 0);
    EXPECT_EQ(wrongMagic, before);
}

TEST_F(DispatchTest, ThreadWithoutInstanceAnswersBusError) {
    std::vector<uint8_t> record = makeRecord(kType, kEcho, 0, 0, 0);
    int answered = -1;
    std::thread other([&] { answered = answerRequest(record.data(), uint32_t(record.size())); });
    other.join();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(headerOf(record).lengthOrStatus, uint32_t(CallStatus::BusError));
    EXPECT_EQ(headerOf(record).magic, kReplyMagic);
}

// A thread that owns two instances serves every request with the services of the one it made
// first, whichever received the request.
TEST_F(DispatchTest, SecondInstanceOfAThreadIsNotTheOneThatServes) {
    BusInstance* second = createInstance();
    ASSERT_EQ(second->addService(new ScriptedService(20, scriptedAnswer, kType), nullptr), 1);
    std::vector<uint8_t> record = makeRecord(kType, kEcho, 0, 0, 0, 20);
    ASSERT_EQ(answerRequest(record.data(), uint32_t(record.size())), 1);
    EXPECT_EQ(headerOf(record).lengthOrStatus, uint32_t(CallStatus::NoService));
    delete second;
}

TEST(BusCallbackTest, AcceptsConnectionsAndRefusesWhatIsNoPokeWithData) {
    auto answer = [](UINT type) {
        return reinterpret_cast<uintptr_t>(
            busCallback(type, 0, nullptr, nullptr, nullptr, nullptr, 0, 0));
    };
    EXPECT_EQ(answer(XTYP_CONNECT), uintptr_t(TRUE));
    EXPECT_EQ(answer(XTYP_REQUEST), 0u);
    EXPECT_EQ(answer(XTYP_EXECUTE), 0u);
    EXPECT_EQ(answer(XTYP_POKE), 0u) << "a poke without data";
}

}  // namespace
}  // namespace qiro
