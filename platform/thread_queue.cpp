// The thread message queue: posted messages, the quit flag and the transport's ready work.
//
// Each thread that uses its queue claims a QueueSlot: an entry of a list that only ever grows and
// whose entries are reused, never freed, so that a signal handler can walk it, find a thread by
// id and post the quit message with nothing but atomic operations and a write() to the slot's
// eventfd, which lives as long as the slot.
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>
#include <unordered_map>

#include "platform/thread_state.h"
#include "platform/win32_threads.h"

namespace qiro::platform {

struct QueueSlot {
    std::atomic<DWORD> owner{0};
    std::atomic<int> quitPending{0};
    std::atomic<intptr_t> exitCode{0};
    int wakeFd = -1;
    QueueSlot* next = nullptr;  // set before the slot is published, never changed after
};

namespace {

std::atomic<QueueSlot*> slotList{nullptr};
// Never destroyed: threads may still post while the program exits.
std::mutex& threadsMutex = *new std::mutex;
auto& threadsById = *new std::unordered_map<DWORD, ThreadState*>;

void drainWake(int fd) {
    uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
}

void wake(int fd) {
    uint64_t one = 1;
    int saved = errno;
    // A full counter means a wake-up is pending already; nothing else can go wrong here.
    ssize_t ignored = write(fd, &one, sizeof one);
    (void)ignored;
    errno = saved;
}

QueueSlot* claimSlot(DWORD threadId) {
    for (QueueSlot* slot = slotList.load(std::memory_order_acquire); slot != nullptr;
         slot = slot->next) {
        DWORD free = 0;
        if (slot->owner.compare_exchange_strong(free, threadId)) {
            drainWake(slot->wakeFd);
            slot->quitPending.store(0);
            return slot;
        }
    }
    auto* slot = new (std::nothrow) QueueSlot;
    if (slot == nullptr) {
        return nullptr;
    }
    slot->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (slot->wakeFd < 0) {
        delete slot;
        return nullptr;
    }
    slot->owner.store(threadId);
    QueueSlot* head = slotList.load(std::memory_order_relaxed);
    do {
        slot->next = head;
    } while (!slotList.compare_exchange_weak(head, slot, std::memory_order_release,
                                             std::memory_order_relaxed));
    return slot;
}

// Async-signal-safe: atomics only.
QueueSlot* findSlot(DWORD threadId) {
    for (QueueSlot* slot = slotList.load(std::memory_order_acquire); slot != nullptr;
         slot = slot->next) {
        if (slot->owner.load() == threadId) {
            return slot;
        }
    }
    return nullptr;
}

thread_local std::unique_ptr<ThreadState> currentState;

// Marks a slot inherited by a forked child: its eventfd is shared with the parent, so the child
// must never wait on it or wake through it.
constexpr DWORD kInheritedSlot = 0xFFFFFFFF;

// A forked child inherits the state of the thread that forked, with the instances, sockets and
// registrations of the parent, and the parent's queue slots. None of them is the child's: it
// forgets them without closing or unregistering anything, and starts afresh on its first use of
// the queue.
void forgetStateInChild() {
    ThreadState* inherited = currentState.release();
    (void)inherited;
    for (QueueSlot* slot = slotList.load(); slot != nullptr; slot = slot->next) {
        slot->owner.store(kInheritedSlot);
    }
}

const int forkHandlerRegistered = pthread_atfork(nullptr, nullptr, forgetStateInChild);

}  // namespace

int64_t monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

ThreadState* ThreadState::existing() {
    return currentState.get();
}

ThreadState* ThreadState::current() {
    if (currentState) {
        return currentState.get();
    }
    DWORD id = GetCurrentThreadId();
    QueueSlot* slot = claimSlot(id);
    if (slot == nullptr) {
        return nullptr;
    }
    auto* state = new (std::nothrow) ThreadState(id, slot);
    if (state == nullptr) {
        slot->owner.store(0);
        return nullptr;
    }
    try {
        std::lock_guard lock(threadsMutex);
        threadsById[id] = state;
    } catch (...) {
        delete state;
        return nullptr;
    }
    currentState.reset(state);
    return state;
}

ThreadState::~ThreadState() {
    closeThreadInstances(*this);
    {
        std::lock_guard lock(threadsMutex);
        threadsById.erase(threadId);
    }
    slot->owner.store(0);
}

bool pollThread(ThreadState& state, int timeoutMs, bool withWake, bool dispatchNow, bool* woken) {
    // Scratch vectors reused between waits. A nested wait (from a callback) reuses them too,
    // which is safe because the ready work is copied out before any of it runs.
    thread_local std::vector<pollfd> fds;
    thread_local std::vector<std::weak_ptr<Pollable>> targets;
    fds.clear();
    targets.clear();
    try {
        if (withWake) {
            fds.push_back({state.slot->wakeFd, POLLIN, 0});
            targets.emplace_back();
        }
        collectTransport(state, fds, targets);
    } catch (...) {
        return false;
    }
    int count = poll(fds.data(), fds.size(), timeoutMs);
    if (count < 0) {
        return errno == EINTR;
    }
    std::vector<std::pair<std::weak_ptr<Pollable>, short>> ready;
    try {
        for (size_t i = 0; i < fds.size() && count > 0; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            --count;
            if (withWake && i == 0) {
                drainWake(fds[i].fd);
                *woken = true;
            } else if (dispatchNow) {
                ready.emplace_back(targets[i], fds[i].revents);
            } else {
                state.readyTargets.push_back(targets[i]);
                state.readyEvents.push_back(fds[i].revents);
            }
        }
    } catch (...) {
        return false;
    }
    for (auto& [target, events] : ready) {
        if (auto object = target.lock()) {
            object->onReady(events);
        }
    }
    return true;
}

void dispatchReady(ThreadState& state) {
    std::vector<std::weak_ptr<Pollable>> targets;
    std::vector<short> events;
    targets.swap(state.readyTargets);
    events.swap(state.readyEvents);
    for (size_t i = 0; i < targets.size(); ++i) {
        if (auto object = targets[i].lock()) {
            object->onReady(events[i]);
        }
    }
}

}  // namespace qiro::platform

using qiro::platform::ThreadState;

BOOL GetMessageA(MSG* message, HWND, UINT, UINT) {
    ThreadState* state = ThreadState::current();
    if (state == nullptr || message == nullptr) {
        return -1;
    }
    for (;;) {
        {
            std::lock_guard lock(state->postedMutex);
            if (!state->posted.empty()) {
                *message = state->posted.front();
                state->posted.pop_front();
                return TRUE;
            }
        }
        if (state->slot->quitPending.exchange(0) != 0) {
            *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(state->slot->exitCode.load()), 0,
                           static_cast<DWORD>(qiro::platform::monotonicMs())};
            return FALSE;
        }
        if (!state->readyTargets.empty()) {
            *message = MSG{nullptr, qiro::platform::kTransportMessage, 0, 0,
                           static_cast<DWORD>(qiro::platform::monotonicMs())};
            return TRUE;
        }
        bool woken = false;
        if (!qiro::platform::pollThread(*state, -1, true, false, &woken)) {
            // Out of memory or descriptors: wait a little rather than spin.
            poll(nullptr, 0, 10);
        }
    }
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr || message->message != qiro::platform::kTransportMessage) {
        return 0;
    }
    if (ThreadState* state = ThreadState::existing()) {
        qiro::platform::dispatchReady(*state);
    }
    return 0;
}

void PostQuitMessage(int exitCode) {
    if (ThreadState* state = ThreadState::current()) {
        state->slot->exitCode.store(exitCode);
        state->slot->quitPending.store(1);
        qiro::platform::wake(state->slot->wakeFd);
    }
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUIT) {
        // Async-signal-safe path: no lock, no allocation.
        qiro::platform::QueueSlot* slot = qiro::platform::findSlot(threadId);
        if (slot == nullptr) {
            return FALSE;
        }
        slot->exitCode.store(static_cast<intptr_t>(wParam));
        slot->quitPending.store(1);
        qiro::platform::wake(slot->wakeFd);
        return TRUE;
    }
    if (threadId == GetCurrentThreadId() && ThreadState::current() == nullptr) {
        return FALSE;  // posting to oneself makes one's queue, as any use of it does
    }
    try {
        std::lock_guard lock(qiro::platform::threadsMutex);
        auto found = qiro::platform::threadsById.find(threadId);
        if (found == qiro::platform::threadsById.end()) {
            return FALSE;
        }
        ThreadState* state = found->second;
        {
            std::lock_guard queueLock(state->postedMutex);
            state->posted.push_back(MSG{nullptr, message, wParam, lParam,
                                        static_cast<DWORD>(qiro::platform::monotonicMs())});
        }
        qiro::platform::wake(state->slot->wakeFd);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
