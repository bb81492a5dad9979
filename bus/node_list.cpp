#include "bus/node_list.h"

namespace qiro {

ListNode::~ListNode() {
    unlink();
}

void ListNode::unlink() {
    if (owner == nullptr) {
        return;
    }
    owner->remove(this);
    owner = nullptr;
}

NodeList::~NodeList() {
    NodeList::clear();
}

int NodeList::insert(ListNode* node, ListNode* before) {
    if (node == nullptr || node->owner != nullptr) {
        return 0;
    }
    if (before != nullptr && before->owner != this) {
        return 0;
    }
    ListNode* after = before != nullptr ? before->prev : tail;
    if (after != nullptr) {
        after->next = node;
    } else {
        head = node;
    }
    if (before != nullptr) {
        before->prev = node;
    } else {
        tail = node;
    }
    node->prev = after;
    node->next = before;
    node->owner = this;
    ++count;
    return 1;
}

int NodeList::remove(ListNode* node) {
    if (node == nullptr || node->owner != this) {
        return 0;
    }
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        head = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        tail = node->prev;
    }
    node->next = nullptr;
    node->prev = nullptr;
    node->owner = nullptr;
    --count;
    return 1;
}

// Each destruction shortens the list only because the node's destructor unlinks it through
// this list's `remove`.
void NodeList::clear() {
    while (tail != nullptr) {
        delete tail;
    }
}

LockedNodeList::LockedNodeList() {
    InitializeCriticalSection(&lock);
}

LockedNodeList::~LockedNodeList() {
    EnterCriticalSection(&lock);
    NodeList::clear();
    LeaveCriticalSection(&lock);
    DeleteCriticalSection(&lock);
}

int LockedNodeList::insert(ListNode* node, ListNode* before) {
    EnterCriticalSection(&lock);
    int result = NodeList::insert(node, before);
    LeaveCriticalSection(&lock);
    return result;
}

int LockedNodeList::remove(ListNode* node) {
    EnterCriticalSection(&lock);
    int result = NodeList::remove(node);
    LeaveCriticalSection(&lock);
    return result;
}

void LockedNodeList::clear() {
    EnterCriticalSection(&lock);
    NodeList::clear();
    LeaveCriticalSection(&lock);
}

}  // namespace qiro
