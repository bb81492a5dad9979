// Threads and locks with the Win32 names and shapes that the bus and the gateways use:
// thread ids, re-entrant critical sections and detached thread start.
#pragma once

#include <pthread.h>

#include <cstddef>

#include "platform/win32_types.h"

// A re-entrant lock: the thread that holds it may enter it again, and must leave it as often.
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

// The kernel's id of the calling thread; unique among the live threads of the machine.
DWORD GetCurrentThreadId();

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// Starts `routine(parameter)` at once on a new detached thread. `stackSize` 0 takes the platform
// layer's default (256 KiB, far smaller than the C library's, so that thousands of mostly idle
// threads stay cheap). `security` and `creationFlags` must be null and 0. Returns a non-null
// token on success (it need not be closed) and null when the thread cannot be started; the id
// of the new thread is stored through `threadId` when that is not null.
HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE routine,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
