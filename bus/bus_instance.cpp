#include "bus/bus_instance.h"

#include <new>

#include "bus/bus_callback.h"
#include "bus/instance_registry.h"
#include "platform/win32_messages.h"

namespace qiro {

namespace {

// Only names that the instance registered reach it, it never receives a connection from
// itself, and no connect confirmations are delivered.
constexpr DWORD kDdeFlags =
    APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS | CBF_SKIP_CONNECT_CONFIRMS;
static_assert(kDdeFlags == 0x41020);

}  // namespace

BusInstance* createInstance() {
    return new (std::nothrow) BusInstance();
}

BusInstance::BusInstance() : threadId(GetCurrentThreadId()) {
    if (instanceRegistry().insert(this, nullptr) == 0) {
        return;
    }
    DWORD instance = 0;
    UINT initialized = DdeInitializeA(&instance, busCallback, kDdeFlags, 0);
    armThreadEndGuard();
    if (initialized != DMLERR_NO_ERROR) {
        ddeInstance = 0;
        return;
    }
    ddeInstance = instance;
    dataFormat = RegisterClipboardFormatA("QIRO");
}

// The services still here leave through removeService, so their names are unregistered before
// the DDE instance ends. Without a DDE instance unregisterAll does nothing, and the NodeList
// destructor destroys the services without any DDE call.
BusInstance::~BusInstance() {
    unregisterAll();
    ListNode::unlink();
    if (ddeInstance != 0) {
        DdeUninitialize(ddeInstance);
    }
    endpoints.clear();
}

int BusInstance::insert(ListNode* node, ListNode* before) {
    auto* service = dynamic_cast<Service*>(node);
    auto* beforeService = dynamic_cast<Service*>(before);
    if (service == nullptr || (before != nullptr && beforeService == nullptr)) {
        return 0;
    }
    return addService(service, beforeService);
}

int BusInstance::remove(ListNode* node) {
    auto* service = dynamic_cast<Service*>(node);
    if (service == nullptr) {
        return 0;
    }
    return removeService(service);
}

void BusInstance::clear() {
    unregisterAll();
}

int BusInstance::addService(Service* service, Service* before) {
    if (NodeList::insert(service, before) == 0) {
        return 0;
    }
    if (openEndpoint(service->sid, true) != nullptr) {
        return 1;
    }
    NodeList::remove(service);
    return 0;
}

int BusInstance::removeService(Service* service) {
    if (NodeList::remove(service) == 0) {
        return 0;
    }
    return dropEndpoint(findEndpoint(service->sid), true);
}

int BusInstance::unregisterAll() {
    if (ddeInstance == 0) {
        return 0;
    }
    // Every service's destruction comes back through removeService, which unregisters its
    // sid's name and drops its endpoint; what is left are the endpoints that calls made.
    NodeList::clear();
    while (endpoints.head != nullptr) {
        dropEndpoint(static_cast<Endpoint*>(endpoints.head), false);
    }
    return DdeNameService(ddeInstance, nullptr, nullptr, DNS_UNREGISTER) != nullptr ? 1 : 0;
}

int BusInstance::run() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        DispatchMessageA(&message);
    }
    return head != nullptr ? 1 : 0;
}

Service* BusInstance::findService(uint32_t sid) {
    for (ListNode* node = head; node != nullptr; node = node->next) {
        auto* service = static_cast<Service*>(node);
        if (service->sid == sid) {
            return service;
        }
    }
    return nullptr;
}

Endpoint* BusInstance::findEndpoint(uint32_t sid) {
    for (ListNode* node = endpoints.head; node != nullptr; node = node->next) {
        auto* endpoint = static_cast<Endpoint*>(node);
        if (endpoint->sid == sid) {
            return endpoint;
        }
    }
    return nullptr;
}

Endpoint* BusInstance::openEndpoint(uint32_t sid, bool registerName) {
    Endpoint* endpoint = findEndpoint(sid);
    if (endpoint == nullptr) {
        endpoint = new (std::nothrow) Endpoint(sid);
        // A null endpoint (no memory) is refused here.
        if (endpoints.insert(endpoint, nullptr) == 0) {
            return nullptr;
        }
        char name[kSidNameMax + 1];
        makeSidName(sid, name);
        endpoint->nameHandle = DdeCreateStringHandleA(ddeInstance, name, CP_WINANSI);
        if (endpoint->nameHandle == nullptr) {
            delete endpoint;
            return nullptr;
        }
    }
    // Registered again for an existing endpoint too: another service of the sid, or a sid that
    // calls opened and that now comes to be served.
    if (registerName) {
        DdeNameService(ddeInstance, endpoint->nameHandle, nullptr, DNS_REGISTER);
    }
    return endpoint;
}

int BusInstance::dropEndpoint(Endpoint* endpoint, bool unregisterName) {
    if (endpoint == nullptr) {
        return 0;
    }
    if (endpoint->nameHandle != nullptr) {
        if (unregisterName) {
            DdeNameService(ddeInstance, endpoint->nameHandle, nullptr, DNS_UNREGISTER);
        }
        DdeFreeStringHandle(ddeInstance, endpoint->nameHandle);
    }
    delete endpoint;
    return 1;
}

}  // namespace qiro
