#include "bus/node_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qiro {
namespace {

// A node that records its destruction, so that tests can see the order in which a list destroys
// its nodes.
class NamedNode : public ListNode {
  public:
    NamedNode(std::string name, std::vector<std::string>* destroyed)
        : name(std::move(name)), destroyed(destroyed) {}
    ~NamedNode() override {
        if (destroyed != nullptr) {
            destroyed->push_back(name);
        }
    }
    std::string name;
    std::vector<std::string>* destroyed;
};

// A list that records every removal that reaches it, to show that node destruction goes through
// the list's own remove. It keeps addresses only: a node that is being destroyed is no longer a
// NamedNode when the ListNode destructor unlinks it.
class WatchedList : public NodeList {
  public:
    ~WatchedList() override { WatchedList::clear(); }
    int remove(ListNode* node) override {
        removals.push_back(node);
        return NodeList::remove(node);
    }
    std::vector<ListNode*> removals;
};

std::vector<std::string> forwardNames(const NodeList& list) {
    std::vector<std::string> names;
    for (ListNode* node = list.head; node != nullptr; node = node->next) {
        names.push_back(static_cast<NamedNode*>(node)->name);
    }
    return names;
}

std::vector<std::string> backwardNames(const NodeList& list) {
    std::vector<std::string> names;
    for (ListNode* node = list.tail; node != nullptr; node = node->prev) {
        names.insert(names.begin(), static_cast<NamedNode*>(node)->name);
    }
    return names;
}

// Both directions of the chain, the count and every owner agree with `expected`.
void expectChain(const NodeList& list, const std::vector<std::string>& expected) {
    EXPECT_EQ(forwardNames(list), expected);
    EXPECT_EQ(backwardNames(list), expected);
    EXPECT_EQ(list.count, expected.size());
    for (ListNode* node = list.head; node != nullptr; node = node->next) {
        EXPECT_EQ(node->owner, &list);
    }
}

class NodeListTest : public ::testing::Test {
  protected:
    NamedNode* make(const char* name) { return new NamedNode(name, &destroyed); }
    std::vector<std::string> destroyed;
};

TEST_F(NodeListTest, InsertAppendsOrPlacesBeforeAGivenNode) {
    NodeList list;
    NamedNode* a = make("a");
    NamedNode* b = make("b");
    NamedNode* c = make("c");
    EXPECT_EQ(list.insert(a, nullptr), 1);
    EXPECT_EQ(list.insert(b, nullptr), 1);
    EXPECT_EQ(list.insert(c, a), 1);
    expectChain(list, {"c", "a", "b"});
    NamedNode* d = make("d");
    EXPECT_EQ(list.insert(d, b), 1);
    expectChain(list, {"c", "a", "d", "b"});
}

TEST_F(NodeListTest, InsertRefusesWhatWouldCorruptAList) {
    NodeList list;
    NodeList other;
    NamedNode* a = make("a");
    NamedNode* x = make("x");
    ASSERT_EQ(list.insert(a, nullptr), 1);
    ASSERT_EQ(other.insert(x, nullptr), 1);

    EXPECT_EQ(list.insert(nullptr, nullptr), 0);
    EXPECT_EQ(list.insert(a, nullptr), 0) << "already in this list";
    EXPECT_EQ(list.insert(x, nullptr), 0) << "in another list";
    NamedNode* free = make("free");
    EXPECT_EQ(list.insert(free, x), 0) << "position node of another list";
    EXPECT_EQ(list.insert(free, free), 0) << "position node that is free";

    expectChain(list, {"a"});
    expectChain(other, {"x"});
    EXPECT_EQ(free->owner, nullptr);
    EXPECT_EQ(free->prev, nullptr);
    EXPECT_EQ(free->next, nullptr);
    delete free;
}

TEST_F(NodeListTest, RemoveUnlinksWithoutDestroyingAndRefusesStrangers) {
    NodeList list;
    NodeList other;
    NamedNode* a = make("a");
    NamedNode* b = make("b");
    NamedNode* c = make("c");
    NamedNode* x = make("x");
    list.insert(a, nullptr);
    list.insert(b, nullptr);
    list.insert(c, nullptr);
    other.insert(x, nullptr);

    EXPECT_EQ(list.remove(x), 0);
    EXPECT_EQ(list.remove(nullptr), 0);
    expectChain(other, {"x"});

    EXPECT_EQ(list.remove(b), 1);
    expectChain(list, {"a", "c"});
    EXPECT_EQ(b->owner, nullptr);
    EXPECT_EQ(b->prev, nullptr);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(list.remove(b), 0) << "no longer a member";
    EXPECT_TRUE(destroyed.empty());

    EXPECT_EQ(list.remove(a), 1);
    EXPECT_EQ(list.remove(c), 1);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.count, 0u);

    // A free node can go into any list again.
    EXPECT_EQ(other.insert(b, x), 1);
    expectChain(other, {"b", "x"});
    delete a;
    delete c;
}

TEST_F(NodeListTest, ClearDestroysFromTheLastToTheFirst) {
    NodeList list;
    NamedNode* a = make("a");
    list.insert(a, nullptr);
    list.insert(make("b"), nullptr);
    list.insert(make("c"), a);
    list.clear();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "a", "c"}));
    expectChain(list, {});
    list.clear();
    EXPECT_EQ(destroyed.size(), 3u);
}

TEST_F(NodeListTest, DestroyingANodeTakesItOutThroughTheListsOwnRemove) {
    WatchedList list;
    NamedNode* a = make("a");
    NamedNode* b = make("b");
    list.insert(a, nullptr);
    list.insert(b, nullptr);
    list.insert(make("c"), nullptr);
    delete b;
    EXPECT_EQ(list.removals, (std::vector<ListNode*>{b}));
    expectChain(list, {"a", "c"});
    a->unlink();
    EXPECT_EQ(a->owner, nullptr);
    expectChain(list, {"c"});
    a->unlink();  // a free node: nothing happens
    EXPECT_EQ(list.removals, (std::vector<ListNode*>{b, a}));
    delete a;
}

TEST_F(NodeListTest, DestroyingAListDestroysItsNodes) {
    {
        WatchedList list;
        list.insert(make("a"), nullptr);
        list.insert(make("b"), nullptr);
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "a"}));
    {
        LockedNodeList locked;
        locked.insert(make("c"), nullptr);
        locked.insert(make("d"), nullptr);
    }
    EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "a", "d", "c"}));
}

// The lock is re-entrant: clearing holds it while every destruction comes back through remove.
TEST_F(NodeListTest, LockedListClearsAndRefusesLikeAPlainOne) {
    LockedNodeList list;
    NamedNode* a = make("a");
    NamedNode* b = make("b");
    EXPECT_EQ(list.insert(a, nullptr), 1);
    EXPECT_EQ(list.insert(b, a), 1);
    EXPECT_EQ(list.insert(a, nullptr), 0);
    expectChain(list, {"b", "a"});
    delete a;
    expectChain(list, {"b"});
    list.enter();
    list.clear();
    list.leave();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"a", "b"}));
    expectChain(list, {});
}

}  // namespace
}  // namespace qiro
