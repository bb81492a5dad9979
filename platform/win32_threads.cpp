// Threads and re-entrant locks on POSIX threads.
#include "platform/win32_threads.h"

#include <semaphore.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <new>

namespace {

constexpr size_t kDefaultStackSize = 256 * 1024;

// What the new thread needs to start, and the handshake that reports its id to the creator.
struct ThreadStart {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    DWORD threadId;
    sem_t started;
};

void* runThread(void* argument) {
    auto* start = static_cast<ThreadStart*>(argument);
    LPTHREAD_START_ROUTINE routine = start->routine;
    LPVOID parameter = start->parameter;
    start->threadId = GetCurrentThreadId();
    // After this post the creator owns and frees `start`; it must not be touched again.
    sem_post(&start->started);
    routine(parameter);
    return nullptr;
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutex_lock(&section->mutex);
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutex_unlock(&section->mutex);
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    pthread_mutex_destroy(&section->mutex);
}

namespace {

thread_local DWORD cachedThreadId = 0;

// A forked child's only thread has a new id, but inherits the cache of the thread that forked.
void forgetThreadIdInChild() {
    cachedThreadId = 0;
}

}  // namespace

DWORD GetCurrentThreadId() {
    static const int registered = pthread_atfork(nullptr, nullptr, forgetThreadIdInChild);
    (void)registered;
    if (cachedThreadId == 0) {
        cachedThreadId = static_cast<DWORD>(syscall(SYS_gettid));
    }
    return cachedThreadId;
}

HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE routine,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    if (security != nullptr || creationFlags != 0 || routine == nullptr) {
        return nullptr;
    }
    auto* start = new (std::nothrow) ThreadStart{routine, parameter, 0, {}};
    if (start == nullptr) {
        return nullptr;
    }
    sem_init(&start->started, 0, 0);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    size_t size = stackSize != 0 ? stackSize : kDefaultStackSize;
    if (size < static_cast<size_t>(PTHREAD_STACK_MIN)) {
        size = PTHREAD_STACK_MIN;
    }
    pthread_attr_setstacksize(&attributes, size);
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, runThread, start);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        sem_destroy(&start->started);
        delete start;
        return nullptr;
    }
    while (sem_wait(&start->started) != 0) {
    }
    if (threadId != nullptr) {
        *threadId = start->threadId;
    }
    sem_destroy(&start->started);
    delete start;
    // A detached thread needs no closing; the token only has to be non-null.
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread) | 1);
}
