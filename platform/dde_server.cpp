// The server side: a connection accepted by an instance's listening socket, the conversation
// offered on it, and the pokes it carries, each handed to the instance's callback on its thread.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/dde_objects.h"
#include "platform/shared_pool.h"

namespace qiro::platform {

namespace {

void removeServer(Instance& instance, ServerConnection* connection) {
    auto& servers = instance.servers;
    servers.erase(std::remove_if(servers.begin(), servers.end(),
                                 [&](const auto& s) { return s.get() == connection; }),
                  servers.end());
}

// Splits "service\0topic\0" as the whole payload; false when it is not that shape.
bool parseNames(const uint8_t* payload, uint32_t length, std::string* service, std::string* topic) {
    const char* text = reinterpret_cast<const char*>(payload);
    const void* firstEnd = std::memchr(text, '\0', length);
    if (firstEnd == nullptr) {
        return false;
    }
    size_t serviceLength = static_cast<const char*>(firstEnd) - text;
    size_t rest = length - serviceLength - 1;
    if (rest == 0 ||
        std::memchr(text + serviceLength + 1, '\0', rest) != text + serviceLength + rest) {
        return false;
    }
    service->assign(text, serviceLength);
    topic->assign(text + serviceLength + 1, rest - 1);
    return serviceLength <= kMaxNameLength && rest - 1 <= kMaxNameLength;
}

}  // namespace

ServerConnection::~ServerConnection() {
    close();
}

void Channel::closeSocket() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void ServerConnection::close() {
    closeSocket();
    for (const Mapping& mapping : mappings) {
        unmapPeerBuffer(mapping.address, mapping.length);
    }
    mappings.clear();
}

pollfd ServerConnection::pollRequest() {
    if (fd < 0 || busy) {
        return {-1, 0, 0};
    }
    return channelRequest();
}

void ServerConnection::onReady(short revents) {
    auto self = shared_from_this();
    std::shared_ptr<Instance> owner = instance;
    if ((revents & POLLOUT) && !outbox.flush(fd)) {
        drop();
        return;
    }
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) {
        return;
    }
    // The first read receives; the following ones only drain what is staged already, so that
    // no call is made just to learn that the socket is empty.
    for (bool receive = true; fd >= 0 && !busy; receive = false) {
        ReadResult result = reader.read(fd, receive);
        if (result == ReadResult::Again) {
            return;
        }
        if (result != ReadResult::Frame) {
            drop();
            return;
        }
        FrameHeader header = reader.header();
        uint8_t* payload = reader.takePayload();
        if (!handleFrame(header, payload)) {
            drop();
            return;
        }
    }
}

void ServerConnection::drop() {
    std::shared_ptr<Instance> owner = instance;
    close();
    removeServer(*owner, this);
}

bool ServerConnection::handleFrame(const FrameHeader& header, uint8_t* payload) {
    bool fine = false;
    switch (static_cast<FrameKind>(header.kind)) {
        case FrameKind::ConnectRequest:
            fine = !established && answerConnect(header, payload);
            std::free(payload);
            break;
        case FrameKind::Poke:
            if (established) {
                return answerPoke(header, payload);  // takes the payload over
            }
            std::free(payload);
            break;
        case FrameKind::SharedPoke:
            fine = established && answerSharedPoke(header, payload);
            std::free(payload);
            break;
        default:
            std::free(payload);
            break;
    }
    return fine;
}

HDDEDATA ServerConnection::runCallback(UINT type, UINT format, HCONV conversation, HSZ first,
                                       HSZ second, HDDEDATA data) {
    std::shared_ptr<Instance> owner = instance;
    busy = true;
    HDDEDATA result = owner->callback(type, format, conversation, first, second, data, 0, 0);
    busy = false;
    return result;
}

bool ServerConnection::answerConnect(const FrameHeader& header, const uint8_t* payload) {
    std::string serviceName;
    std::string topicName;
    if (payload == nullptr || !parseNames(payload, header.length, &serviceName, &topicName)) {
        return false;
    }
    std::shared_ptr<Instance> owner = instance;
    bool accepted = false;
    // Filtering: only names this instance has registered reach its callback.
    if (!(owner->flags & APPCMD_FILTERINITS) || owner->registrations.count(serviceName) != 0) {
        HSZ__ topicHandle{owner->id, topicName};
        HSZ__ serviceHandle{owner->id, serviceName};
        accepted =
            runCallback(XTYP_CONNECT, 0, nullptr, &topicHandle, &serviceHandle, nullptr) != nullptr;
    }
    if (fd < 0 || owner->closed) {
        return true;  // the callback ended the instance or the connection: nothing to answer
    }
    if (accepted) {
        established = true;
        service = std::move(serviceName);
        topic = std::move(topicName);
    }
    FrameHeader reply{static_cast<uint32_t>(FrameKind::ConnectReply), header.serial,
                      accepted ? 1u : 0u, 0};
    return outbox.send(fd, reply, nullptr, 0, nullptr, 0, nullptr, -1);
}

// Runs the poke callback over `bytes` and returns whether it acknowledged the poke.
bool ServerConnection::pokeCallback(uint8_t* bytes, DWORD size, UINT format,
                                    const std::string& itemName, bool* stillOpen) {
    HDDEDATA__* item = makeBorrowedItem(bytes, size, format);
    if (item == nullptr) {
        *stillOpen = fd >= 0;
        return false;
    }
    std::shared_ptr<Instance> owner = instance;
    HSZ__ topicHandle{owner->id, topic};
    HSZ__ itemHandle{owner->id, itemName};
    HDDEDATA result = runCallback(XTYP_POKE, format, this, &topicHandle, &itemHandle, item);
    freeItem(item);
    *stillOpen = fd >= 0 && !owner->closed;
    return (reinterpret_cast<uintptr_t>(result) & DDE_FACK) != 0;
}

bool ServerConnection::answerPoke(const FrameHeader& header, uint8_t* payload) {
    PokePrefix prefix;
    if (header.length < sizeof prefix) {
        std::free(payload);
        return false;
    }
    std::memcpy(&prefix, payload, sizeof prefix);
    if (prefix.itemLength > kMaxNameLength || sizeof prefix + prefix.itemLength > header.length) {
        std::free(payload);
        return false;
    }
    std::string itemName(reinterpret_cast<const char*>(payload) + sizeof prefix, prefix.itemLength);
    uint8_t* data = payload + sizeof prefix + prefix.itemLength;
    auto size = static_cast<DWORD>(header.length - sizeof prefix - prefix.itemLength);
    bool stillOpen = false;
    bool acknowledged = pokeCallback(data, size, header.arg, itemName, &stillOpen);
    if (!stillOpen) {
        std::free(payload);
        return true;
    }
    FrameHeader reply{static_cast<uint32_t>(FrameKind::PokeReply), header.serial,
                      acknowledged ? DDE_FACK : 0u, acknowledged ? size : 0u};
    // The answer's data is the payload block itself, edited in place by the callback.
    return outbox.send(fd, reply, data, acknowledged ? size : 0, nullptr, 0, payload, -1);
}

bool ServerConnection::answerSharedPoke(const FrameHeader& header, const uint8_t* payload) {
    SharedPokePrefix prefix;
    if (header.length < sizeof prefix) {
        return false;
    }
    std::memcpy(&prefix, payload, sizeof prefix);
    if (prefix.hasDescriptor != 0) {
        int descriptor = reader.takeDescriptor();
        bool mapped = addMapping(prefix.bufferId, descriptor);
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        if (!mapped) {
            return false;
        }
    }
    if (prefix.itemLength > kMaxNameLength || sizeof prefix + prefix.itemLength != header.length) {
        return false;
    }
    auto found = std::find_if(mappings.begin(), mappings.end(),
                              [&](const Mapping& m) { return m.id == prefix.bufferId; });
    if (found == mappings.end() || prefix.dataLength > found->length) {
        return false;
    }
    std::string itemName(reinterpret_cast<const char*>(payload) + sizeof prefix, prefix.itemLength);
    bool stillOpen = false;
    bool acknowledged =
        pokeCallback(found->address, prefix.dataLength, header.arg, itemName, &stillOpen);
    if (!stillOpen) {
        return true;
    }
    FrameHeader reply{static_cast<uint32_t>(FrameKind::SharedPokeReply), header.serial,
                      acknowledged ? DDE_FACK : 0u, 0};
    return outbox.send(fd, reply, nullptr, 0, nullptr, 0, nullptr, -1);
}

// Maps a buffer the client passed, forgetting the oldest mapping as the client does.
bool ServerConnection::addMapping(uint32_t id, int descriptor) {
    if (descriptor < 0) {
        return false;
    }
    size_t length = 0;
    uint8_t* address = mapPeerBuffer(descriptor, &length);
    if (address == nullptr) {
        return false;
    }
    if (mappings.size() == kMappedBuffersPerConversation) {
        unmapPeerBuffer(mappings.front().address, mappings.front().length);
        mappings.erase(mappings.begin());
    }
    try {
        mappings.push_back({id, address, length});
    } catch (...) {
        unmapPeerBuffer(address, length);
        return false;
    }
    return true;
}

}  // namespace qiro::platform
