#include "bus/instance_registry.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

#include "bus/bus_instance.h"

namespace qiro {

namespace {

// The registry is never destroyed as a static object would be: threads that still run at
// program exit may take its lock after the exit handlers ran.
alignas(InstanceRegistry) unsigned char registryStorage[sizeof(InstanceRegistry)];
InstanceRegistry* registry = nullptr;
std::once_flag registryMade;
std::atomic<bool> shutdownDone{false};

void makeRegistry() {
    registry = new (registryStorage) InstanceRegistry();
    std::atexit(registryShutdown);
}

// Makes the registry before main runs.
const bool registryStarted = (registryStartup(), true);

}  // namespace

InstanceRegistry& instanceRegistry() {
    std::call_once(registryMade, makeRegistry);
    return *registry;
}

void registryStartup() {
    instanceRegistry();
}

BusInstance* InstanceRegistry::findForCurrentThread() {
    DWORD self = GetCurrentThreadId();
    BusInstance* found = nullptr;
    enter();
    for (ListNode* node = head; node != nullptr; node = node->next) {
        auto* instance = static_cast<BusInstance*>(node);
        if (instance->threadId == self) {
            found = instance;
            break;
        }
    }
    leave();
    return found;
}

void registryShutdown() {
    if (shutdownDone.exchange(true)) {
        return;
    }
    InstanceRegistry& list = instanceRegistry();
    DWORD self = GetCurrentThreadId();
    list.enter();
    // Each destruction unlinks its instance, taking the (re-entrant) lock again; only that node
    // leaves the list, so the one before it stays valid.
    ListNode* node = list.tail;
    while (node != nullptr) {
        ListNode* before = node->prev;
        if (static_cast<BusInstance*>(node)->threadId == self) {
            delete node;
        }
        node = before;
    }
    list.leave();
}

}  // namespace qiro
