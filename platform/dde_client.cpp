// The client side: connecting to a registered name and poking through a conversation.
//
// A synchronous transaction sends its frame and then waits for the answer that carries its
// transaction number, dispatching the thread's own incoming work meanwhile. An answer with any
// other number belongs to an earlier transaction that gave up waiting; it is dropped.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/dde_objects.h"
#include "platform/shared_pool.h"

namespace qiro::platform {

namespace {

std::atomic<DWORD> connectTimeoutMs{kDefaultConnectTimeoutMs};

void removeClient(Instance& instance, ClientConversation* conversation) {
    auto& clients = instance.clients;
    clients.erase(std::remove_if(clients.begin(), clients.end(),
                                 [&](const auto& c) { return c.get() == conversation; }),
                  clients.end());
}

bool sendConnectRequest(ClientConversation& conversation, const std::string& service,
                        const std::string& topic) {
    FrameHeader header{static_cast<uint32_t>(FrameKind::ConnectRequest), 1, 0,
                       static_cast<uint32_t>(service.size() + topic.size() + 2)};
    conversation.lastSerial = 1;
    conversation.awaitedSerial = 1;
    return conversation.outbox.send(conversation.fd, header, service.c_str(), service.size() + 1,
                                    topic.c_str(), topic.size() + 1, nullptr, -1);
}

enum class ConnectOutcome { Accepted, Refused, TimedOut };

// Offers the conversation to the server behind `fd` and waits for its callback's answer.
ConnectOutcome offerConversation(ThreadState& state, const std::shared_ptr<Instance>& instance,
                                 int fd, const std::string& service, const std::string& topic,
                                 int64_t deadline, std::shared_ptr<ClientConversation>* result) {
    auto conversation = std::make_shared<ClientConversation>(instance, fd);
    instance->clients.push_back(conversation);
    bool sent = sendConnectRequest(*conversation, service, topic);
    bool finished = sent && waitDispatching(state, deadline, [&] {
                        return conversation->answered || conversation->dead;
                    });
    if (conversation->answered &&
        conversation->answer.kind == static_cast<uint32_t>(FrameKind::ConnectReply) &&
        conversation->answer.arg == 1 && !instance->closed) {
        std::free(conversation->answerPayload);
        conversation->answerPayload = nullptr;
        conversation->answered = false;
        conversation->awaitedSerial = 0;
        *result = conversation;
        return ConnectOutcome::Accepted;
    }
    conversation->close();
    removeClient(*instance, conversation.get());
    return finished || !sent ? ConnectOutcome::Refused : ConnectOutcome::TimedOut;
}

}  // namespace

ClientConversation::~ClientConversation() {
    close();
}

void ClientConversation::close() {
    closeSocket();
    dead = true;
    std::free(answerPayload);
    answerPayload = nullptr;
    // The server may still be writing into buffers of pokes that timed out: never reuse them.
    for (auto& [serial, buffer] : quarantined) {
        SharedPool::instance().discard(buffer);
    }
    quarantined.clear();
}

pollfd ClientConversation::pollRequest() {
    if (dead) {
        return {-1, 0, 0};
    }
    return channelRequest();
}

void ClientConversation::onReady(short revents) {
    auto self = shared_from_this();
    if ((revents & POLLOUT) && !outbox.flush(fd)) {
        dead = true;
        return;
    }
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) {
        return;
    }
    // Everything staged is read, so that no complete frame waits where poll() cannot see it.
    for (bool receive = true; !dead; receive = false) {
        ReadResult result = reader.read(fd, receive);
        if (result == ReadResult::Again) {
            return;
        }
        if (result != ReadResult::Frame) {
            serverGone();
            return;
        }
        reader.dropDescriptors();  // a server has nothing to pass to its client
        const FrameHeader& header = reader.header();
        uint8_t* payload = reader.takePayload();
        if (awaitedSerial != 0 && header.serial == awaitedSerial && !answered) {
            answered = true;
            answer = header;
            answerPayload = payload;
            continue;
        }
        // A late answer: its poke has given up already, and its shared buffer is free again.
        std::free(payload);
        releaseQuarantined(header.serial);
    }
}

void ClientConversation::serverGone() {
    // The server's end is closed, and with it its mappings: quarantined buffers are safe again.
    for (auto& [serial, buffer] : quarantined) {
        SharedPool::instance().give(buffer);
    }
    quarantined.clear();
    dead = true;
}

void ClientConversation::releaseQuarantined(uint32_t serial) {
    for (auto it = quarantined.begin(); it != quarantined.end(); ++it) {
        if (it->first == serial) {
            SharedPool::instance().give(it->second);
            quarantined.erase(it);
            return;
        }
    }
}

}  // namespace qiro::platform

using namespace qiro::platform;

void DdeSetConnectTimeout(DWORD milliseconds) {
    connectTimeoutMs.store(milliseconds);
}

HCONV DdeConnect(DWORD instanceId, HSZ service, HSZ topic, CONVCONTEXT*) {
    std::shared_ptr<Instance> instance = findInstanceShared(instanceId);
    ThreadState* state = ThreadState::existing();
    if (instance == nullptr || state == nullptr) {
        return nullptr;
    }
    if (service == nullptr) {
        setError(*instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    try {
        std::string topicText = topic != nullptr ? topic->text : std::string();
        std::vector<RegistrationEntry> entries;
        listRegistrations(instance->runtimeDir, service->text, &entries);
        int64_t deadline = monotonicMs() + connectTimeoutMs.load();
        for (const RegistrationEntry& entry : entries) {
            if ((instance->flags & CBF_FAIL_SELFCONNECTIONS) && entry.pid == getpid() &&
                entry.instanceId == instance->id) {
                continue;
            }
            bool stale = false;
            int fd = connectToEntry(instance->runtimeDir, entry, &stale);
            while (fd < 0 && errno == EAGAIN && monotonicMs() < deadline) {
                usleep(1000);  // its backlog is full: the owner is alive but slow
                fd = connectToEntry(instance->runtimeDir, entry, &stale);
            }
            if (fd < 0) {
                if (stale) {
                    continue;
                }
                break;
            }
            std::shared_ptr<ClientConversation> conversation;
            ConnectOutcome outcome = offerConversation(*state, instance, fd, service->text,
                                                       topicText, deadline, &conversation);
            if (outcome == ConnectOutcome::Accepted) {
                return conversation.get();
            }
            if (outcome == ConnectOutcome::TimedOut) {
                break;
            }
        }
    } catch (...) {
        setError(*instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    setError(*instance, DMLERR_NO_CONV_ESTABLISHED);
    return nullptr;
}

BOOL DdeDisconnect(HCONV handle) {
    ClientConversation* conversation = findClientConversation(handle);
    if (conversation == nullptr) {
        return FALSE;
    }
    std::shared_ptr<Instance> instance = conversation->instance;
    conversation->close();
    removeClient(*instance, conversation);
    return TRUE;
}
