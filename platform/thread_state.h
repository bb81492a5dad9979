// The per-thread side of the message loop: the thread's queue of posted messages, its quit flag
// and wake descriptor, and the descriptors of the transport objects that it owns (listening
// sockets and conversations of its DDE instances), all waited on by one poll().
#pragma once

#include <poll.h>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32_messages.h"

namespace qiro::platform {

struct Instance;
struct QueueSlot;

// Something the thread's poll loop waits on. The object decides what it waits for and does the
// work when its descriptor is ready; it may be gone by then, which is why it is held weakly.
class Pollable : public std::enable_shared_from_this<Pollable> {
  public:
    virtual ~Pollable() = default;
    // The descriptor and events to wait for, or fd -1 when nothing is to be waited for now.
    virtual pollfd pollRequest() = 0;
    // Called on the owning thread when poll() reported `revents` for the descriptor.
    virtual void onReady(short revents) = 0;
};

// The message that tells DispatchMessageA to carry out the transport work that is ready.
constexpr UINT kTransportMessage = 0x03FE;

struct ThreadState {
    ThreadState(const ThreadState&) = delete;
    ThreadState& operator=(const ThreadState&) = delete;
    ~ThreadState();

    // The calling thread's state, made on first use; null when it cannot be made.
    static ThreadState* current();
    // Only looks: null when the calling thread has none yet.
    static ThreadState* existing();

    DWORD threadId;
    QueueSlot* slot;

    std::mutex postedMutex;
    std::deque<MSG> posted;  // guarded by postedMutex; other threads post into it

    // The DDE instances that this thread owns, oldest first.
    std::vector<std::shared_ptr<Instance>> instances;

    // Work found ready by GetMessageA and carried out by the next DispatchMessageA.
    std::vector<std::weak_ptr<Pollable>> readyTargets;
    std::vector<short> readyEvents;

  private:
    ThreadState(DWORD id, QueueSlot* slot) : threadId(id), slot(slot) {}
};

// Waits up to `timeoutMs` (-1: without limit) for the thread's transport descriptors, and for its
// wake descriptor when `withWake` is set, and carries out the transport work that is ready at
// once when `dispatchNow`, else keeps it for DispatchMessageA. Returns false when poll() failed.
// Sets *woken when the wake descriptor fired.
bool pollThread(ThreadState& state, int timeoutMs, bool withWake, bool dispatchNow, bool* woken);

// Carries out work that pollThread kept.
void dispatchReady(ThreadState& state);

// Provided by the DDE side: the descriptors of the thread's instances, and their closing when
// the thread ends.
void collectTransport(ThreadState& state, std::vector<pollfd>& fds,
                      std::vector<std::weak_ptr<Pollable>>& targets);
void closeThreadInstances(ThreadState& state);

// Milliseconds of the monotonic clock.
int64_t monotonicMs();

}  // namespace qiro::platform
