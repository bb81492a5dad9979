// The thread message queue, thread start and the re-entrant lock.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/win32_messages.h"
#include "platform/win32_threads.h"

namespace {

constexpr UINT kUserMessage = 0x0400;

TEST(MessageLoop, PostedMessagesArriveInOrderBeforeTheQuitMessage) {
    std::promise<DWORD> loopThread;
    std::vector<MSG> received;
    int exitCode = -1;
    std::thread loop([&] {
        MSG message;
        PostThreadMessageA(GetCurrentThreadId(), kUserMessage, 0, 0);  // makes the queue
        loopThread.set_value(GetCurrentThreadId());
        while (GetMessageA(&message, nullptr, 0, 0)) {
            received.push_back(message);
            DispatchMessageA(&message);
        }
        exitCode = static_cast<int>(message.wParam);
        EXPECT_EQ(message.message, WM_QUIT);
    });
    DWORD id = loopThread.get_future().get();
    EXPECT_TRUE(PostThreadMessageA(id, kUserMessage + 1, 11, 22));
    EXPECT_TRUE(PostThreadMessageA(id, kUserMessage + 2, 33, 44));
    EXPECT_TRUE(PostThreadMessageA(id, WM_QUIT, 7, 0));
    loop.join();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].message, kUserMessage + 1);
    EXPECT_EQ(received[1].wParam, 11u);
    EXPECT_EQ(received[1].lParam, 22);
    EXPECT_EQ(received[2].message, kUserMessage + 2);
    EXPECT_EQ(exitCode, 7);
}

TEST(MessageLoop, PostQuitMessageEndsTheLoopWithItsCode) {
    std::thread loop([] {
        PostQuitMessage(3);
        MSG message;
        EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
        EXPECT_EQ(message.message, WM_QUIT);
        EXPECT_EQ(message.wParam, 3u);
        // The quit message is taken once: the queue is usable again afterwards.
        PostThreadMessageA(GetCurrentThreadId(), kUserMessage, 1, 2);
        EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
        EXPECT_EQ(message.message, kUserMessage);
    });
    loop.join();
}

TEST(MessageLoop, PostingToAThreadWithoutAQueueFails) {
    DWORD withoutQueue = 0;
    std::thread([&] { withoutQueue = GetCurrentThreadId(); }).join();
    EXPECT_FALSE(PostThreadMessageA(withoutQueue, kUserMessage, 0, 0));
    EXPECT_FALSE(PostThreadMessageA(withoutQueue, WM_QUIT, 0, 0));
}

std::atomic<DWORD> signalTarget{0};

void quitFromSignal(int) {
    PostThreadMessageA(signalTarget.load(), WM_QUIT, 9, 0);
}

TEST(MessageLoop, SignalHandlerCanEndABlockedLoop) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = quitFromSignal;
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    std::promise<pthread_t> started;
    std::thread loop([&] {
        PostQuitMessage(0);  // makes the queue; the first quit is taken at once
        MSG message;
        EXPECT_FALSE(GetMessageA(&message, nullptr, 0, 0));
        signalTarget.store(GetCurrentThreadId());
        started.set_value(pthread_self());
        // Blocks until the signal handler posts the quit message.
        EXPECT_FALSE(GetMessageA(&message, nullptr, 0, 0));
        EXPECT_EQ(message.wParam, 9u);
    });
    pthread_t thread = started.get_future().get();
    pthread_kill(thread, SIGUSR1);
    loop.join();
    sigaction(SIGUSR1, &previous, nullptr);
}

TEST(Threads, CreateThreadRunsTheRoutineAndReportsItsId) {
    struct Start {
        std::promise<DWORD> ranOn;
    } start;
    DWORD reported = 0;
    HANDLE token = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            static_cast<Start*>(parameter)->ranOn.set_value(GetCurrentThreadId());
            return 0;
        },
        &start, 0, &reported);
    ASSERT_NE(token, nullptr);
    DWORD ranOn = start.ranOn.get_future().get();
    EXPECT_EQ(ranOn, reported);
    EXPECT_NE(ranOn, GetCurrentThreadId());
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Threads, CriticalSectionIsReentrantAndExcludesOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);  // the holder may enter again
            ++counter;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
    DeleteCriticalSection(&section);
}

}  // namespace
