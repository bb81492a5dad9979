// Instances: their life on their thread, their names and their listening socket.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "platform/dde_objects.h"
#include "platform/runtime_dir.h"

namespace qiro::platform {

namespace {

std::atomic<DWORD> lastInstanceId{0};

DWORD newInstanceId() {
    DWORD id;
    do {
        id = ++lastInstanceId;
    } while (id == 0);
    return id;
}

// Starts listening, once, so that names of the instance can be connected to.
bool ensureListening(const std::shared_ptr<Instance>& instance) {
    if (instance->listener) {
        return true;
    }
    std::string path = socketPathOf(instance->runtimeDir, getpid(), instance->id);
    int fd = listenUnix(path.c_str());
    if (fd < 0) {
        return false;
    }
    auto listener = std::make_shared<ListenPoint>(instance, fd);
    instance->socketPath = std::move(path);
    instance->listener = std::move(listener);
    return true;
}

}  // namespace

Instance* findInstance(DWORD id) {
    return findInstanceShared(id).get();
}

std::shared_ptr<Instance> findInstanceShared(DWORD id) {
    ThreadState* state = ThreadState::existing();
    if (state == nullptr || id == 0) {
        return nullptr;
    }
    for (const auto& instance : state->instances) {
        if (instance->id == id) {
            return instance;
        }
    }
    return nullptr;
}

ClientConversation* findClientConversation(HCONV conversation) {
    ThreadState* state = ThreadState::existing();
    if (state == nullptr || conversation == nullptr) {
        return nullptr;
    }
    for (const auto& instance : state->instances) {
        for (const auto& client : instance->clients) {
            if (static_cast<HCONV__*>(client.get()) == conversation) {
                return client.get();
            }
        }
    }
    return nullptr;
}

void closeInstance(Instance& instance) {
    if (instance.closed) {
        return;
    }
    instance.closed = true;
    while (!instance.registrations.empty()) {
        unregisterName(instance, instance.registrations.begin()->first);
    }
    if (instance.listener) {
        instance.listener->close();
        instance.listener.reset();
        unlink(instance.socketPath.c_str());
    }
    // Closing breaks the reference cycles between the instance and its connections.
    for (auto& server : instance.servers) {
        server->close();
    }
    for (auto& client : instance.clients) {
        client->close();
    }
    instance.servers.clear();
    instance.clients.clear();
    for (HSZ__* string : instance.strings) {
        delete string;
    }
    instance.strings.clear();
}

void collectTransport(ThreadState& state, std::vector<pollfd>& fds,
                      std::vector<std::weak_ptr<Pollable>>& targets) {
    auto add = [&](const std::shared_ptr<Pollable>& object) {
        pollfd request = object->pollRequest();
        if (request.fd >= 0) {
            fds.push_back(request);
            targets.push_back(object);
        }
    };
    for (const auto& instance : state.instances) {
        if (instance->listener) {
            add(instance->listener);
        }
        for (const auto& server : instance->servers) {
            add(server);
        }
        for (const auto& client : instance->clients) {
            add(client);
        }
    }
}

void closeThreadInstances(ThreadState& state) {
    std::vector<std::shared_ptr<Instance>> instances;
    instances.swap(state.instances);
    for (auto& instance : instances) {
        closeInstance(*instance);
    }
}

ListenPoint::~ListenPoint() {
    close();
}

void ListenPoint::close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

pollfd ListenPoint::pollRequest() {
    return {fd, POLLIN, 0};
}

void ListenPoint::onReady(short) {
    std::shared_ptr<Instance> owner = instance;
    // A bounded batch per wake-up, so that a flood of connections cannot starve the thread.
    for (int accepted = 0; accepted < 16 && fd >= 0 && !owner->closed; ++accepted) {
        int connection = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection < 0) {
            return;
        }
        // Only this user's processes may talk to the instance; the runtime directory's mode
        // already says so, and the peer's credentials confirm it.
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
            peer.uid != getuid()) {
            ::close(connection);
            continue;
        }
        try {
            owner->servers.push_back(std::make_shared<ServerConnection>(owner, connection));
        } catch (...) {
            ::close(connection);
            return;
        }
    }
}

}  // namespace qiro::platform

using namespace qiro::platform;

UINT DdeInitializeA(DWORD* instanceId, PFNCALLBACK callback, DWORD flags, DWORD) {
    if (instanceId == nullptr) {
        return DMLERR_INVALIDPARAMETER;
    }
    *instanceId = 0;
    if (callback == nullptr) {
        return DMLERR_INVALIDPARAMETER;
    }
    ThreadState* state = ThreadState::current();
    if (state == nullptr) {
        return DMLERR_MEMORY_ERROR;
    }
    try {
        auto instance = std::make_shared<Instance>();
        instance->id = newInstanceId();
        instance->callback = callback;
        instance->flags = flags;
        if (!openRuntimeDir(&instance->runtimeDir)) {
            return DMLERR_SYS_ERROR;
        }
        state->instances.push_back(instance);
        *instanceId = instance->id;
        return DMLERR_NO_ERROR;
    } catch (...) {
        return DMLERR_MEMORY_ERROR;
    }
}

BOOL DdeUninitialize(DWORD instanceId) {
    ThreadState* state = ThreadState::existing();
    if (state == nullptr) {
        return FALSE;
    }
    for (auto it = state->instances.begin(); it != state->instances.end(); ++it) {
        if ((*it)->id == instanceId) {
            std::shared_ptr<Instance> instance = *it;
            state->instances.erase(it);
            closeInstance(*instance);
            return TRUE;
        }
    }
    return FALSE;
}

HDDEDATA DdeNameService(DWORD instanceId, HSZ service, HSZ, UINT command) {
    std::shared_ptr<Instance> instance = findInstanceShared(instanceId);
    if (instance == nullptr) {
        return nullptr;
    }
    auto done = reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(1));
    if (command & DNS_REGISTER) {
        if (service == nullptr || service->instance != instanceId) {
            setError(*instance, DMLERR_INVALIDPARAMETER);
            return nullptr;
        }
        if (!ensureListening(instance) || !registerName(*instance, service->text)) {
            setError(*instance, DMLERR_SYS_ERROR);
            return nullptr;
        }
        return done;
    }
    if (command & DNS_UNREGISTER) {
        if (service == nullptr) {
            while (!instance->registrations.empty()) {
                unregisterName(*instance, instance->registrations.begin()->first);
            }
            return done;
        }
        if (service->instance != instanceId) {
            setError(*instance, DMLERR_INVALIDPARAMETER);
            return nullptr;
        }
        unregisterName(*instance, service->text);
        return done;
    }
    setError(*instance, DMLERR_INVALIDPARAMETER);
    return nullptr;
}

UINT DdeGetLastError(DWORD instanceId) {
    Instance* instance = findInstance(instanceId);
    if (instance == nullptr) {
        return DMLERR_DLL_NOT_INITIALIZED;
    }
    UINT error = instance->lastError;
    instance->lastError = DMLERR_NO_ERROR;
    return error;
}
