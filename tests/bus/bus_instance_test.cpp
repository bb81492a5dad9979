// Instances, their registry, their services and endpoints, and the message loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "bus/bus_instance.h"
#include "bus/instance_registry.h"
#include "platform/win32_messages.h"
#include "tests/bus/bus_test_support.h"

namespace qiro {
namespace {

using testing::callOnce;
using testing::ScriptedService;
using testing::ServerThread;

constexpr uint32_t kSid = 4242;

// Calls `sid` from a thread of its own, as a caller elsewhere on the machine would.
CallStatus callFromAnotherThread(uint32_t sid) {
    CallStatus status = CallStatus::BusError;
    std::thread caller([&] {
        BusInstance* instance = createInstance();
        uint32_t type = 0;
        std::string reply;
        status = callOnce(instance, sid, &type, 0, "", &reply, 16, 5000);
        delete instance;
    });
    caller.join();
    return status;
}

TEST(InstanceRegistryTest, FindsTheFirstInstanceOfTheCallingThreadOnly) {
    BusInstance* first = createInstance();
    BusInstance* second = createInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->threadId, GetCurrentThreadId());
    EXPECT_EQ(instanceRegistry().findForCurrentThread(), first);

    BusInstance* seenElsewhere = first;
    std::thread other([&] { seenElsewhere = instanceRegistry().findForCurrentThread(); });
    other.join();
    EXPECT_EQ(seenElsewhere, nullptr);

    delete first;
    EXPECT_EQ(instanceRegistry().findForCurrentThread(), second);
    delete second;
    EXPECT_EQ(instanceRegistry().findForCurrentThread(), nullptr);
}

// A thread that ends without destroying its instance has it destroyed at its end, services and
// all, so that no later thread that gets the same id finds it.
TEST(InstanceRegistryTest, InstanceLeftByAnEndingThreadIsDestroyedWithIt) {
    int destroyed = 0;
    BusInstance* left = nullptr;
    std::thread owner([&] {
        left = createInstance();
        left->addService(new ScriptedService(kSid, nullptr, 0, nullptr, &destroyed), nullptr);
    });
    owner.join();
    EXPECT_EQ(destroyed, 1);
    bool stillRegistered = false;
    InstanceRegistry& registry = instanceRegistry();
    registry.enter();
    for (ListNode* node = registry.head; node != nullptr; node = node->next) {
        stillRegistered = stillRegistered || static_cast<BusInstance*>(node) == left;
    }
    registry.leave();
    EXPECT_FALSE(stillRegistered);
}

TEST(BusInstanceTest, SidNamesAreQiroBlankAndDecimal) {
    char name[kSidNameMax + 1];
    makeSidName(0, name);
    EXPECT_STREQ(name, "QIRO 0");
    makeSidName(4294967295u, name);
    EXPECT_STREQ(name, "QIRO 4294967295");
}

TEST(BusInstanceTest, AddedServiceGetsARegisteredEndpointAndIsOwned) {
    BusInstance* instance = createInstance();
    ASSERT_NE(instance->ddeInstance, 0u);
    int destroyed = 0;
    auto* service = new ScriptedService(kSid, nullptr, 0, nullptr, &destroyed);
    ASSERT_EQ(instance->addService(service, nullptr), 1);
    EXPECT_EQ(instance->findService(kSid), service);
    Endpoint* endpoint = instance->findEndpoint(kSid);
    ASSERT_NE(endpoint, nullptr);
    EXPECT_NE(endpoint->nameHandle, nullptr);
    EXPECT_EQ(instance->addService(service, nullptr), 0) << "already in a list";
    EXPECT_EQ(instance->count, 1u);
    EXPECT_EQ(destroyed, 0);
    delete instance;
    EXPECT_EQ(destroyed, 1) << "the instance destroys the services it owns";
}

TEST(BusInstanceTest, ServiceInAnotherListIsRefusedAndStaysThere) {
    BusInstance* instance = createInstance();
    NodeList elsewhere;
    auto* service = new ScriptedService(kSid);
    elsewhere.insert(service, nullptr);
    EXPECT_EQ(instance->addService(service, nullptr), 0);
    EXPECT_EQ(service->owner, &elsewhere);
    EXPECT_EQ(instance->findEndpoint(kSid), nullptr);
    auto* stranger = new ScriptedService(kSid + 1);
    EXPECT_EQ(instance->addService(stranger, service), 0) << "before is not ours";
    EXPECT_EQ(stranger->owner, nullptr);
    delete stranger;
    delete instance;
}

// The name can be connected to while the instance serves, and no longer once it is destroyed
// (with its thread), taking its services along.
TEST(BusInstanceTest, DestroyedInstanceCanNoLongerBeReached) {
    int destroyed = 0;
    ServerThread server([&](BusInstance* instance) {
        instance->addService(new ScriptedService(kSid, nullptr, 0, "here", &destroyed), nullptr);
    });
    EXPECT_EQ(callFromAnotherThread(kSid), CallStatus::Ok);
    EXPECT_EQ(server.stop(), 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(callFromAnotherThread(kSid), CallStatus::NoService);
}

TEST(BusInstanceTest, RemoveServiceGivesTheServiceBackAndDropsTheEndpoint) {
    BusInstance* instance = createInstance();
    int destroyed = 0;
    auto* service = new ScriptedService(kSid, nullptr, 0, nullptr, &destroyed);
    ASSERT_EQ(instance->addService(service, nullptr), 1);
    EXPECT_EQ(instance->removeService(service), 1);
    EXPECT_EQ(service->owner, nullptr);
    EXPECT_EQ(instance->findEndpoint(kSid), nullptr);
    EXPECT_EQ(instance->removeService(service), 0) << "not ours any more";
    EXPECT_EQ(destroyed, 0);

    // A service whose endpoint is gone is still removed, with result 0.
    ASSERT_EQ(instance->addService(service, nullptr), 1);
    ASSERT_EQ(instance->dropEndpoint(instance->findEndpoint(kSid), true), 1);
    EXPECT_EQ(instance->removeService(service), 0);
    EXPECT_EQ(service->owner, nullptr);
    EXPECT_EQ(instance->count, 0u);
    delete service;
    EXPECT_EQ(destroyed, 1);
    delete instance;
}

TEST(BusInstanceTest, DeletingAServiceTakesItOutOfItsInstance) {
    BusInstance* instance = createInstance();
    auto* service = new ScriptedService(kSid);
    ASSERT_EQ(instance->addService(service, nullptr), 1);
    delete service;
    EXPECT_EQ(instance->count, 0u);
    EXPECT_EQ(instance->findService(kSid), nullptr);
    EXPECT_EQ(instance->findEndpoint(kSid), nullptr) << "removed through removeService";
    delete instance;
}

// Two services of one sid share one endpoint; removing either unregisters the name, so the
// other one can no longer be reached until a service of the sid is added again. The changes are
// made on the serving thread by a control service, as the instance belongs to that thread.
TEST(BusInstanceTest, TwoServicesOfOneSidShareTheirName) {
    constexpr uint32_t kControlSid = kSid + 1;
    constexpr uint32_t kRemoveSecond = 1;
    constexpr uint32_t kAddThird = 2;
    BusInstance* serving = nullptr;
    ScriptedService* second = nullptr;
    int removeResult = -1;
    ServerThread server([&](BusInstance* instance) {
        serving = instance;
        second = new ScriptedService(kSid, nullptr, 0, "second");
        instance->addService(new ScriptedService(kSid, nullptr, 0, "first"), nullptr);
        instance->addService(second, nullptr);
        auto control = [&](uint32_t code, uint8_t*, uint32_t, uint32_t* replyLength) {
            *replyLength = 0;
            if (code == kRemoveSecond) {
                removeResult = serving->removeService(second);
                delete second;
            } else if (code == kAddThird) {
                serving->addService(new ScriptedService(kSid, nullptr, 0, "third"), nullptr);
            }
            return CallStatus::Ok;
        };
        instance->addService(new ScriptedService(kControlSid, control), nullptr);
    });
    BusInstance* caller = createInstance();
    uint32_t type = 0;
    std::string reply;
    ASSERT_EQ(callOnce(caller, kSid, &type, 0, "", &reply, 16), CallStatus::Ok);
    EXPECT_STREQ(reply.c_str(), "first") << "the earlier service in list order answers";

    ASSERT_EQ(callOnce(caller, kControlSid, &type, kRemoveSecond, "", &reply, 0), CallStatus::Ok);
    EXPECT_EQ(removeResult, 1);
    EXPECT_EQ(callFromAnotherThread(kSid), CallStatus::NoService)
        << "the first service is still there, but its name is gone";

    ASSERT_EQ(callOnce(caller, kControlSid, &type, kAddThird, "", &reply, 0), CallStatus::Ok);
    EXPECT_EQ(callFromAnotherThread(kSid), CallStatus::Ok);
    EXPECT_EQ(server.stop(), 1);
    delete caller;
}

TEST(BusInstanceTest, UnregisterAllDestroysServicesAndDropsEveryEndpoint) {
    BusInstance* instance = createInstance();
    int destroyed = 0;
    instance->addService(new ScriptedService(1, nullptr, 0, nullptr, &destroyed), nullptr);
    instance->addService(new ScriptedService(2, nullptr, 0, nullptr, &destroyed), nullptr);
    ASSERT_NE(instance->openEndpoint(3, false), nullptr) << "an endpoint as a call makes it";
    EXPECT_EQ(instance->endpoints.count, 3u);
    EXPECT_NE(instance->unregisterAll(), 0);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(instance->count, 0u);
    EXPECT_EQ(instance->endpoints.count, 0u);
    delete instance;
}

TEST(BusInstanceTest, RunEndsOnTheQuitMessageAndTellsWhetherServicesAreLeft) {
    BusInstance* instance = createInstance();
    PostQuitMessage(0);
    EXPECT_EQ(instance->run(), 0);
    instance->addService(new ScriptedService(kSid), nullptr);
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
    EXPECT_EQ(instance->run(), 1);
    delete instance;
}

// An instance whose runtime directory cannot be had has no DDE instance: it refuses every
// service (which stays the caller's), its calls give BusError, and it is destroyed cleanly.
TEST(BusInstanceTest, InstanceWithoutDdeRefusesServicesAndCalls) {
    const char* saved = std::getenv("QIRO_RUNTIME_DIR");
    std::string restore = saved != nullptr ? saved : "";
    setenv("QIRO_RUNTIME_DIR", "/nonexistent/qiro/run", 1);
    BusInstance* instance = createInstance();
    setenv("QIRO_RUNTIME_DIR", restore.c_str(), 1);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->ddeInstance, 0u);
    int destroyed = 0;
    auto* service = new ScriptedService(kSid, nullptr, 0, nullptr, &destroyed);
    EXPECT_EQ(instance->addService(service, nullptr), 0);
    EXPECT_EQ(service->owner, nullptr);
    uint32_t type = 0;
    std::string reply;
    EXPECT_EQ(callOnce(instance, kSid, &type, 0, "", &reply, 4), CallStatus::BusError);
    EXPECT_EQ(instance->unregisterAll(), 0);
    EXPECT_EQ(instance->count, 0u);
    delete instance;
    EXPECT_EQ(destroyed, 0) << "a refused service is not the instance's to destroy";
    delete service;
}

}  // namespace
}  // namespace qiro
