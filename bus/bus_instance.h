// A thread's part in the QIRO bus: its DDE instance, the services it offers, its endpoints (one
// per sid it serves or calls) and the header record of its calls.
//
// An instance belongs to the thread that creates it: make it, use it and delete it on that
// thread only. It stands in the process-wide InstanceRegistry from construction to destruction,
// which is how the bus callback finds it. An instance whose DDE initialisation failed is still
// valid: `addService` refuses every service, `call` gives BusError, `run` still pumps messages.
//
// The three list operations of the services list are taken over: `insert`, `remove` and `clear`
// go through `addService`, `removeService` and `unregisterAll`, so every way a service enters or
// leaves the instance, its own destruction included, keeps the DDE names right.
#pragma once

#include <cstdint>

#include "bus/buffer_piece.h"
#include "bus/endpoint.h"
#include "bus/message_header.h"
#include "bus/node_list.h"
#include "bus/service.h"
#include "platform/ddeml.h"

namespace qiro {

class DataHandleHolder;

// The time limit of a call whose timeout argument is 0.
constexpr uint32_t kDefaultCallTimeoutMs = 30000;

class BusInstance : public NodeList, public ListNode {
  public:
    // Use createInstance.
    BusInstance();
    // Unregisters everything, leaves the registry, ends the DDE instance, destroys what is left.
    ~BusInstance() override;

    // Takes `service` into the instance, before `before` (a service of this instance) or at the
    // end when `before` is null, and registers the name of its sid. Returns 1, after which the
    // instance owns the service; 0 when refused (service in a list already, `before` not ours,
    // no DDE instance, no name handle), and the service still belongs to the caller.
    virtual int addService(Service* service, Service* before);
    // Takes `service` out, then unregisters the name of its sid and drops the sid's endpoint.
    // The service belongs to the caller again. Returns 1; 0 when it was not ours (nothing
    // changed) or when its sid had no endpoint left (the service is removed all the same).
    virtual int removeService(Service* service);
    // Destroys every service and drops every endpoint, then unregisters every name of the
    // instance. Returns 0 without DDE instance (nothing done), else the result of the final
    // name-service call.
    virtual int unregisterAll();
    // One synchronous call of the service `sid`, blocking until the answer or `timeout` ms (0:
    // kDefaultCallTimeoutMs). The request is the concatenation of the request pieces; the reply
    // is spread over the reply pieces, whose lengths then tell what each received (status Ok
    // only). `*type` is sent and, with WrongType, receives the service's type. While it waits
    // the thread still serves pokes for its own instances. One call at a time per instance.
    virtual CallStatus call(uint32_t sid, uint32_t* type, uint32_t code, BufferPiece* requestPieces,
                            uint32_t requestCount, BufferPiece* replyPieces, uint32_t replyCount,
                            uint32_t timeout);
    // The thread's message loop, in which the instance's services answer. Ends when the thread
    // receives WM_QUIT (PostQuitMessage, or PostThreadMessageA from another thread or a signal
    // handler). Returns 1 when services are left, else 0.
    virtual int run();

    // The first service / endpoint in list order with that sid, or null.
    Service* findService(uint32_t sid);
    Endpoint* findEndpoint(uint32_t sid);
    // The endpoint of `sid`, made with its name handle if need be, with the name registered
    // (again) when `registerName` is set. Null when it cannot be made.
    Endpoint* openEndpoint(uint32_t sid, bool registerName);
    // Unregisters the name (when `unregisterName` is set), frees the name handle and destroys
    // the endpoint. Returns 1, or 0 for a null endpoint.
    int dropEndpoint(Endpoint* endpoint, bool unregisterName);

    // The services list's own operations, routed to the instance's versions above.
    int insert(ListNode* node, ListNode* before) final;
    int remove(ListNode* node) final;
    void clear() final;

    const uint32_t threadId;
    DWORD ddeInstance = 0;
    UINT dataFormat = 0;
    NodeList endpoints;
    MessageHeader header{};

  private:
    // The steps of `call`: build the data item, transact (reconnecting a broken conversation a
    // few times), read the reply back.
    CallStatus fillDataItem(DataHandleHolder& holder, const BufferPiece* requestPieces,
                            uint32_t requestCount, const BufferPiece* replyPieces,
                            uint32_t replyCount);
    CallStatus transact(Endpoint* endpoint, HDDEDATA data, uint32_t timeout);
    CallStatus takeReply(HDDEDATA data, Endpoint* endpoint, uint32_t capacity, uint32_t* type,
                         BufferPiece* replyPieces, uint32_t replyCount);
    CallStatus scatterReply(HDDEDATA data, BufferPiece* replyPieces, uint32_t replyCount);
};

// A new instance for the calling thread, or null when out of memory. Destroy it with `delete` on
// the same thread.
BusInstance* createInstance();

}  // namespace qiro
