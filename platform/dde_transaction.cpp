// DdeClientTransaction: one synchronous poke and its answer.
//
// Small items travel in the frame and come back in the answer. Items in shared memory travel as
// the id of their pool buffer, whose descriptor the server is sent once per conversation; the
// server's callback then edits the pages themselves and the answer carries no data. So that a
// refused, timed-out or broken poke still leaves the caller's data as it was, the client keeps a
// copy of a shared item while it is out, and puts it back (or, when the server might still write
// late, moves the item to fresh storage) whenever the poke does not end in DDE_FACK.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/dde_objects.h"
#include "platform/shared_pool.h"

namespace qiro::platform {

namespace {

struct PokeRequest {
    ClientConversation& conversation;
    HDDEDATA__& item;
    const std::string& itemName;
    uint32_t serial;
};

bool sendPlainPoke(const PokeRequest& poke) {
    size_t prefixLength = sizeof(PokePrefix) + poke.itemName.size();
    auto* prefix = static_cast<uint8_t*>(std::malloc(prefixLength));
    if (prefix == nullptr) {
        return false;
    }
    PokePrefix fields{static_cast<uint32_t>(poke.itemName.size())};
    std::memcpy(prefix, &fields, sizeof fields);
    copyBytes(prefix + sizeof fields, poke.itemName.data(), poke.itemName.size());
    FrameHeader header{static_cast<uint32_t>(FrameKind::Poke), poke.serial, poke.item.format,
                       static_cast<uint32_t>(prefixLength + poke.item.size)};
    return poke.conversation.outbox.send(poke.conversation.fd, header, prefix, prefixLength,
                                         poke.item.bytes, poke.item.size, prefix, -1);
}

// Remembers that the server now holds `id`, forgetting the oldest as the server does.
void noteSentBuffer(ClientConversation& conversation, uint32_t id) {
    if (conversation.sentBuffers.size() == kMappedBuffersPerConversation) {
        conversation.sentBuffers.erase(conversation.sentBuffers.begin());
    }
    conversation.sentBuffers.push_back(id);
}

bool sendSharedPoke(const PokeRequest& poke) {
    ClientConversation& conversation = poke.conversation;
    SharedBuffer* buffer = poke.item.shared;
    auto& sent = conversation.sentBuffers;
    bool known = std::find(sent.begin(), sent.end(), buffer->id()) != sent.end();
    SharedPokePrefix fields{static_cast<uint32_t>(poke.itemName.size()), buffer->id(),
                            poke.item.size, known ? 0u : 1u};
    size_t prefixLength = sizeof fields + poke.itemName.size();
    auto* prefix = static_cast<uint8_t*>(std::malloc(prefixLength));
    if (prefix == nullptr) {
        return false;
    }
    std::memcpy(prefix, &fields, sizeof fields);
    copyBytes(prefix + sizeof fields, poke.itemName.data(), poke.itemName.size());
    FrameHeader header{static_cast<uint32_t>(FrameKind::SharedPoke), poke.serial, poke.item.format,
                       static_cast<uint32_t>(prefixLength)};
    if (!conversation.outbox.send(conversation.fd, header, prefix, prefixLength, nullptr, 0, prefix,
                                  known ? -1 : buffer->fd())) {
        return false;
    }
    if (!known) {
        noteSentBuffer(conversation, buffer->id());
    }
    return true;
}

// A copy of a shared item's bytes while its poke is out; reused between pokes.
std::vector<uint8_t>* snapshotOf(const HDDEDATA__& item) {
    thread_local std::vector<uint8_t> snapshot;
    try {
        snapshot.resize(item.size);
    } catch (...) {
        return nullptr;
    }
    copyBytes(snapshot.data(), item.bytes, item.size);
    return &snapshot;
}

// Takes the answer's data into the item: the rewritten bytes of a plain poke.
bool acceptPlainAnswer(ClientConversation& conversation, HDDEDATA__& item) {
    if (conversation.answer.length != item.size) {
        return false;
    }
    if (item.storage == HDDEDATA__::Storage::Heap && item.size > 0) {
        // The answer's block becomes the item's storage: no copy.
        std::free(item.bytes);
        item.bytes = conversation.answerPayload;
        item.capacity = item.size;
        conversation.answerPayload = nullptr;
    } else {
        copyBytes(item.bytes, conversation.answerPayload, item.size);
    }
    return true;
}

UINT finishAnswered(ClientConversation& conversation, HDDEDATA__& item, bool shared,
                    const std::vector<uint8_t>* snapshot) {
    const FrameHeader& answer = conversation.answer;
    auto expected = shared ? FrameKind::SharedPokeReply : FrameKind::PokeReply;
    bool acknowledged = (answer.arg & DDE_FACK) != 0;
    UINT error = DMLERR_NO_ERROR;
    if (answer.kind != static_cast<uint32_t>(expected) || (shared && answer.length != 0) ||
        (!shared && acknowledged && !acceptPlainAnswer(conversation, item)) ||
        (!shared && !acknowledged && answer.length != 0)) {
        // The server broke the protocol: this conversation cannot be trusted any more.
        conversation.close();
        error = DMLERR_SYS_ERROR;
    } else if (!acknowledged) {
        error = DMLERR_NOTPROCESSED;
    }
    if (error != DMLERR_NO_ERROR && shared) {
        copyBytes(item.bytes, snapshot->data(), item.size);
    }
    std::free(conversation.answerPayload);
    conversation.answerPayload = nullptr;
    return error;
}

// The poke gave up waiting. The server may still answer, and for a shared item still write into
// its buffer, so the buffer is set aside until then and the item gets fresh storage.
UINT finishTimedOut(ClientConversation& conversation, HDDEDATA__& item, uint32_t serial,
                    const std::vector<uint8_t>* snapshot) {
    if (snapshot != nullptr && !conversation.dead) {
        SharedBuffer* old = item.shared;
        if (!replaceSharedStorage(item, snapshot->data())) {
            return DMLERR_POKEACKTIMEOUT;  // no memory for fresh storage: the item keeps its buffer
        }
        try {
            conversation.quarantined.emplace_back(serial, old);
        } catch (...) {
            // Without room to remember it, the buffer is never reused.
            SharedPool::instance().discard(old);
        }
    }
    return DMLERR_POKEACKTIMEOUT;
}

UINT poke(ThreadState& state, ClientConversation& conversation, HDDEDATA__& item,
          const std::string& itemName, DWORD timeout) {
    if (conversation.dead) {
        return DMLERR_NO_CONV_ESTABLISHED;
    }
    uint32_t serial = ++conversation.lastSerial;
    if (serial == 0) {
        serial = ++conversation.lastSerial;
    }
    bool shared = item.storage == HDDEDATA__::Storage::Shared;
    const std::vector<uint8_t>* snapshot = shared ? snapshotOf(item) : nullptr;
    shared = snapshot != nullptr;
    PokeRequest request{conversation, item, itemName, serial};
    if (!(shared ? sendSharedPoke(request) : sendPlainPoke(request))) {
        conversation.serverGone();
        return DMLERR_SERVER_DIED;
    }
    conversation.awaitedSerial = serial;
    conversation.answered = false;
    Instance& instance = *conversation.instance;
    instance.waiting = true;
    waitDispatching(state, monotonicMs() + timeout,
                    [&] { return conversation.answered || conversation.dead; });
    instance.waiting = false;
    conversation.awaitedSerial = 0;
    // Bytes of the frame still queued are borrowed from the item: copy them before the item
    // changes (an answer never comes before the whole poke was read, unless a server misbehaves).
    if (!conversation.outbox.empty() && !conversation.outbox.detach()) {
        conversation.close();
    }
    if (conversation.answered) {
        conversation.answered = false;
        return finishAnswered(conversation, item, shared, snapshot);
    }
    if (conversation.dead) {
        // The server's end is closed: nothing writes into the item any more.
        if (shared) {
            copyBytes(item.bytes, snapshot->data(), item.size);
        }
        return DMLERR_SERVER_DIED;
    }
    return finishTimedOut(conversation, item, serial, shared ? snapshot : nullptr);
}

}  // namespace

}  // namespace qiro::platform

using namespace qiro::platform;

HDDEDATA DdeClientTransaction(BYTE* data, DWORD size, HCONV handle, HSZ item, UINT format,
                              UINT type, DWORD timeout, DWORD* result) {
    if (result != nullptr) {
        *result = 0;
    }
    ClientConversation* found = findClientConversation(handle);
    ThreadState* state = ThreadState::existing();
    if (found == nullptr || state == nullptr) {
        return nullptr;
    }
    // Held so that a callback run while waiting cannot free the conversation under us.
    auto conversation = std::static_pointer_cast<ClientConversation>(found->shared_from_this());
    std::shared_ptr<Instance> instance = conversation->instance;
    if (instance->waiting) {
        setError(*instance, DMLERR_REENTRANCY);
        return nullptr;
    }
    HDDEDATA__* dataItemFound = dataItem(reinterpret_cast<HDDEDATA>(data));
    if (type != XTYP_POKE || size != DDE_DATA_IS_HANDLE || dataItemFound == nullptr) {
        setError(*instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    dataItemFound->format = format;
    UINT error;
    try {
        std::string itemName = item != nullptr ? item->text : std::string();
        error = poke(*state, *conversation, *dataItemFound, itemName, timeout);
    } catch (...) {
        error = DMLERR_MEMORY_ERROR;
    }
    if (error != DMLERR_NO_ERROR) {
        setError(*instance, error);
        return nullptr;
    }
    if (result != nullptr) {
        *result = DDE_FACK;
    }
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(TRUE));
}
