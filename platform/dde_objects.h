// The objects behind the DDE handles, and the operations the DDE files share.
//
// Every instance belongs to the thread that made it and is reached only from there, so none of
// these objects has a lock: an instance id, a conversation handle or a string handle used on
// another thread simply is not found. Data handles are the exception: they carry no thread and
// may be read and freed anywhere.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddeml.h"
#include "platform/frame_channel.h"
#include "platform/thread_state.h"

namespace qiro::platform {
struct Instance;
class SharedBuffer;
}  // namespace qiro::platform

// A string handle: the text of a name. Handles that the transport makes for a callback's
// arguments are not in their instance's list, so the callback cannot free them.
struct HSZ__ {
    DWORD instance;
    std::string text;
};

// A data item: `size` bytes at `bytes`, held in one of three ways.
struct HDDEDATA__ {
    enum class Storage { Heap, Shared, Borrowed };
    uint32_t magic;
    Storage storage;
    uint8_t* bytes;
    DWORD size;
    size_t capacity;
    // For Storage::Shared: the pool buffer that holds the bytes (owned by the item).
    qiro::platform::SharedBuffer* shared;
    UINT format;
    // The transport's handle given to a callback: not the callback's to free.
    bool transportOwned;
    int accessCount;
};

// A conversation handle, seen from either end.
struct HCONV__ {
    virtual ~HCONV__() = default;
};

namespace qiro::platform {

constexpr uint32_t kDataMagic = 0x51444154;  // "QDAT"
// How many pool buffers a server keeps mapped per conversation. Both ends forget the oldest one
// when a new one comes, so they always agree on which descriptors the server holds.
constexpr size_t kMappedBuffersPerConversation = 8;
// How long DdeConnect waits for a server's thread to answer XTYP_CONNECT.
constexpr int kDefaultConnectTimeoutMs = 5000;

// What both ends of a conversation have: the socket, its framing and the owning instance.
class Channel : public Pollable, public HCONV__ {
  public:
    Channel(std::shared_ptr<Instance> owner, int fd) : instance(std::move(owner)), fd(fd) {}
    ~Channel() override { closeSocket(); }

    std::shared_ptr<Instance> instance;
    int fd;
    FrameReader reader;
    Outbox outbox;

  protected:
    // Readable always; writable too while frames wait in the outbox.
    pollfd channelRequest() const {
        return {fd, static_cast<short>(POLLIN | (outbox.empty() ? 0 : POLLOUT)), 0};
    }
    void closeSocket();
};

// The client end of a conversation.
class ClientConversation : public Channel {
  public:
    using Channel::Channel;
    ~ClientConversation() override;
    pollfd pollRequest() override;
    void onReady(short revents) override;
    void close();

    bool dead = false;
    uint32_t lastSerial = 0;
    // The transaction being waited for, and its answer once it came.
    uint32_t awaitedSerial = 0;
    bool answered = false;
    FrameHeader answer{};
    uint8_t* answerPayload = nullptr;
    // Pool buffers whose descriptor the server has been sent already, oldest first.
    std::vector<uint32_t> sentBuffers;
    // Shared buffers of pokes that timed out, by transaction number: the server may still write
    // into them until its late answer comes or its end closes.
    std::vector<std::pair<uint32_t, SharedBuffer*>> quarantined;

    void serverGone();
    void releaseQuarantined(uint32_t serial);
};

// The server end of a conversation, from the accepted connection on.
class ServerConnection : public Channel {
  public:
    using Channel::Channel;
    ~ServerConnection() override;
    pollfd pollRequest() override;
    void onReady(short revents) override;
    void close();

    bool established = false;
    bool busy = false;  // its callback is running; no further frame is read meanwhile
    std::string service;
    std::string topic;
    // The client's pool buffers mapped here, by the client's buffer id.
    struct Mapping {
        uint32_t id;
        uint8_t* address;
        size_t length;
    };
    std::vector<Mapping> mappings;

  private:
    void drop();
    // False when the client broke the protocol; the connection is then dropped.
    bool handleFrame(const FrameHeader& header, uint8_t* payload);
    bool answerConnect(const FrameHeader& header, const uint8_t* payload);
    bool answerPoke(const FrameHeader& header, uint8_t* payload);
    bool answerSharedPoke(const FrameHeader& header, const uint8_t* payload);
    bool addMapping(uint32_t id, int descriptor);
    bool pokeCallback(uint8_t* bytes, DWORD size, UINT format, const std::string& itemName,
                      bool* stillOpen);
    HDDEDATA runCallback(UINT type, UINT format, HCONV conversation, HSZ first, HSZ second,
                         HDDEDATA data);
};

// The listening socket of an instance that registered a name.
class ListenPoint : public Pollable {
  public:
    ListenPoint(std::shared_ptr<Instance> owner, int fd) : instance(std::move(owner)), fd(fd) {}
    ~ListenPoint() override;
    pollfd pollRequest() override;
    void onReady(short revents) override;
    void close();

    std::shared_ptr<Instance> instance;
    int fd;
};

struct Instance {
    DWORD id;
    PFNCALLBACK callback;
    DWORD flags;
    UINT lastError = DMLERR_NO_ERROR;
    bool closed = false;
    bool waiting = false;  // a synchronous transaction of this instance is waiting for its answer
    std::string runtimeDir;
    std::string socketPath;  // empty until the instance listens
    std::shared_ptr<ListenPoint> listener;
    std::map<std::string, std::string> registrations;  // name -> registration entry file
    std::vector<HSZ__*> strings;  // string handles made for it, freed when it ends
    std::vector<std::shared_ptr<ServerConnection>> servers;
    std::vector<std::shared_ptr<ClientConversation>> clients;
};

// The calling thread's instance with that id, or null.
Instance* findInstance(DWORD id);
std::shared_ptr<Instance> findInstanceShared(DWORD id);
// The calling thread's conversation behind a handle, or null.
ClientConversation* findClientConversation(HCONV conversation);
// Ends an instance: names unregistered, connections closed, socket removed.
void closeInstance(Instance& instance);

// The data item behind a handle, or null when it is not one.
HDDEDATA__* dataItem(HDDEDATA data);
// A transport-owned item that lends `bytes` (the poke data a callback sees).
HDDEDATA__* makeBorrowedItem(uint8_t* bytes, DWORD size, UINT format);
void freeItem(HDDEDATA__* item);

// Registrations in the runtime directory.
// The directory of a name's registrations; false when the name cannot be a file name.
bool nameDirectory(const std::string& runtimeDir, const std::string& name, std::string* path);
bool registerName(Instance& instance, const std::string& name);
void unregisterName(Instance& instance, const std::string& name);
// The socket path of instance `instanceId` of process `pid`.
std::string socketPathOf(const std::string& runtimeDir, pid_t pid, DWORD instanceId);
struct RegistrationEntry {
    std::string file;  // the entry's path
    pid_t pid;
    DWORD instanceId;
};
// The registrations of `name`, oldest first. False when the directory cannot be read.
bool listRegistrations(const std::string& runtimeDir, const std::string& name,
                       std::vector<RegistrationEntry>* entries);
// Connects to the instance of an entry. On ECONNREFUSED or ENOENT the owner is gone: its entry
// (and socket file) is removed and -1 returned with *stale set.
int connectToEntry(const std::string& runtimeDir, const RegistrationEntry& entry, bool* stale);

// Waits, dispatching the thread's incoming work, until `done()` or the deadline.
template <typename Done>
bool waitDispatching(ThreadState& state, int64_t deadline, Done done) {
    while (!done()) {
        int64_t left = deadline - monotonicMs();
        if (left <= 0) {
            return false;
        }
        bool woken = false;
        int waitMs = left > 1000000 ? 1000000 : static_cast<int>(left);
        if (!pollThread(state, waitMs, false, true, &woken)) {
            return done();
        }
    }
    return true;
}

void setError(Instance& instance, UINT error);

// memcpy that accepts empty ranges with null pointers (an empty item has no storage).
inline void copyBytes(void* to, const void* from, size_t count) {
    if (count > 0) {
        std::memcpy(to, from, count);
    }
}

}  // namespace qiro::platform

namespace qiro::platform {

// Gives an item fresh storage of the same size holding `content`, leaving its old shared buffer
// to the caller (the caller has taken item.shared beforehand). False when memory ran out.
bool replaceSharedStorage(HDDEDATA__& item, const uint8_t* content);

}  // namespace qiro::platform
