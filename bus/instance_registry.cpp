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

void InstanceRegistry::destroyInstancesOf(DWORD threadId) {
    enter();
    // Each destruction unlinks its instance, taking the (re-entrant) lock again; only that node
    // leaves the list, so the one before it stays valid.
    ListNode* node = tail;
    while (node != nullptr) {
        ListNode* before = node->prev;
        if (static_cast<BusInstance*>(node)->threadId == threadId) {
            delete node;
        }
        node = before;
    }
    leave();
}

namespace {

// Ends the instances that a thread still owns when the thread ends, and for the thread that
// calls exit() when exit begins: thread-local objects end before the exit handlers run and in
// the reverse order of their making, and this one is made after the transport's state of the
// thread (in each instance's construction), so the instances go while DDE still works on the
// thread. A dead thread's instance is thus never left for a later thread with the same id.
struct ThreadEndGuard {
    ~ThreadEndGuard() {
        if (armed) {
            instanceRegistry().destroyInstancesOf(GetCurrentThreadId());
        }
    }
    bool armed = false;
};

thread_local ThreadEndGuard threadEndGuard;

}  // namespace

// The first use on a thread makes the guard, which arranges its destruction at thread end.
void armThreadEndGuard() {
    threadEndGuard.armed = true;
}

void registryShutdown() {
    if (shutdownDone.exchange(true)) {
        return;
    }
    instanceRegistry().destroyInstancesOf(GetCurrentThreadId());
}

}  // namespace qiro
