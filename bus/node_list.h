// Intrusive doubly linked lists that hold every collection of the bus: the services and the
// endpoints of a BusInstance, and the process-wide registry of instances.
//
// A node knows the list that holds it; a node that is destroyed takes itself out through the
// list's virtual `remove`, so a derived list sees every removal, asked for or caused by a
// destruction. A list owns its nodes: `clear` and the list's destruction destroy them. The
// operations refuse (result 0) whatever would corrupt a list and change nothing then; they
// allocate nothing.
#pragma once

#include <cstdint>

#include "platform/win32_threads.h"

namespace qiro {

class NodeList;

class ListNode {
  public:
    ListNode() = default;
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;
    // Unlinks the node from its list.
    virtual ~ListNode();

    // Takes the node out of its list through the owner's virtual `remove`, then forgets the
    // owner whatever that gave. Does nothing for a free node.
    void unlink();

    // Maintained by NodeList only; read them, never write them.
    NodeList* owner = nullptr;
    ListNode* prev = nullptr;
    ListNode* next = nullptr;
};

// Not thread-safe: one thread at a time.
class NodeList {
  public:
    NodeList() = default;
    NodeList(const NodeList&) = delete;
    NodeList& operator=(const NodeList&) = delete;
    // Destroys the nodes that are left.
    virtual ~NodeList();

    // Links a free `node` immediately before `before`, or at the tail when `before` is null.
    // Returns 1, or 0 for a null node, a node that is in a list already, or a `before` that is
    // not in this list.
    virtual int insert(ListNode* node, ListNode* before);
    // Unlinks `node` without destroying it. Returns 1, or 0 when it is not a member of this list.
    virtual int remove(ListNode* node);
    // Destroys every node, the last first.
    virtual void clear();

    // Maintained by the list's operations; read them, never write them.
    ListNode* head = nullptr;
    ListNode* tail = nullptr;
    uint32_t count = 0;
};

// A NodeList whose operations are atomic with respect to each other. The lock is re-entrant:
// clearing holds it while each node's destruction comes back through `remove`.
class LockedNodeList : public NodeList {
  public:
    LockedNodeList();
    ~LockedNodeList() override;

    int insert(ListNode* node, ListNode* before) override;
    int remove(ListNode* node) override;
    void clear() override;

    // Holds the lock across several list operations (or a walk of the list).
    void enter() { EnterCriticalSection(&lock); }
    void leave() { LeaveCriticalSection(&lock); }

  protected:
    CRITICAL_SECTION lock;
};

}  // namespace qiro
