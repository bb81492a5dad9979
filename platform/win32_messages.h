// The thread message queue: what a thread's message loop (GetMessageA and DispatchMessageA)
// delivers. Each thread has its own queue, made on first use. Besides posted messages, the queue
// delivers the transport's work for the DDE instances that the thread owns (incoming
// connections and pokes), which DispatchMessageA carries out by calling the instance's callback.
#pragma once

#include "platform/win32_types.h"

constexpr UINT WM_QUIT = 0x0012;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

// Blocks until the calling thread has a message and stores it in `message`. Returns 0 when the
// message is WM_QUIT (posted by PostQuitMessage or PostThreadMessageA), non-zero otherwise.
// `window`, `filterMin` and `filterMax` must be null, 0 and 0.
BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax);

// Carries out a message that GetMessageA delivered: for the transport's messages, the work of
// the DDE instance it belongs to, with its callback run on this thread.
LRESULT DispatchMessageA(const MSG* message);

// Posts WM_QUIT with `exitCode` to the calling thread's queue.
void PostQuitMessage(int exitCode);

// Posts `message` to the queue of thread `threadId` (made by that thread's first use of its
// queue; a thread posting to itself makes its own). Async-signal-safe for WM_QUIT, so that a SIGINT
// or SIGTERM handler may end a message loop. Returns FALSE when the thread has no queue.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
